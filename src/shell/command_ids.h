// Command ids of the menus, toolbars, accelerators and context menus. Every command reaches the
// main window under one of these ids, whatever started it; a toolbar button's tooltip is the
// string-table text of the same id.
#pragma once

namespace lw::cmd {

// Fichier
constexpr int FileOpen = 1002;               // "&Ouvrir..."
constexpr int ImportAvi = 40109;             // Importer de > "AVI..."
constexpr int ImportBmp = 40110;             // Importer de > "BMP/DIB..."
constexpr int ImportJpeg = 40113;            // Importer de > "JPEG..."
constexpr int ImportStrip = 40111;           // Importer de > "Bande..."
constexpr int ImportPsd = 40112;             // Importer de > "Photoshop PSD..."
constexpr int ImportPng = 40342;             // Importer de > "PNG..."
constexpr int ImportIcon = 40133;            // Importer de > "Icône..."
constexpr int ImportCursor = 40142;          // Importer de > "Curseur..."
constexpr int ImportAnimatedCursor = 40118;  // Importer de > "Curseur animé..."
constexpr int ImportVideo = 40380;           // Importer de > "Vidéo..."
constexpr int ImportWebp = 40381;            // Importer de > "WebP..."
constexpr int ImportApng = 40382;            // Importer de > "APNG..."
constexpr int InsertFrames = 40013;          // "&Insérer le(s) cadre(s)..."
constexpr int MergeWith = 40125;             // "&Fusionner l’animation avec..."
constexpr int RecordScreen = 40400;          // "&Enregistrer l’écran..."
constexpr int FileSave = 1015;               // "&Sauvegarder"
constexpr int FileSaveAs = 1016;             // " Sauvegarder &sous..."
constexpr int SaveGifAs = 40161;             // " Sauvegarder l’animation &GIF sous..."
constexpr int RevertToSaved = 40080;         // "In&verser à sauvegardé "
constexpr int NewAnimation = 40021;          // "Re&démarrer"
constexpr int HtmlCode = 40082;              // "&Code HTML..."
constexpr int Exit = 1003;                   // "Q&uitter"
// Recent files "&%d: %s": entry n (1..7) is RecentFileFirst + n - 1.
constexpr int RecentFileFirst = 40150;
constexpr int RecentFileLast = 40156;
constexpr int RecentFileCount = RecentFileLast - RecentFileFirst + 1;

// Édition
constexpr int Undo = 40001;             // "&Annuler"
constexpr int Redo = 40120;             // "&Refaire"
constexpr int Copy = 1012;              // "Co&pier"
constexpr int Cut = 40002;              // "&Couper"
constexpr int Paste = 40004;            // "C&oller"
constexpr int Delete = 40012;           // "&Supprimer"
constexpr int SelectAll = 40131;        // "&Tout sélectionner"
constexpr int InvertSelection = 40132;  // "Inverser la sélection"
constexpr int Preferences = 40035;      // "Pré&férences générales..."

// Cadre
constexpr int FrameProperties = 40009;        // "&Propriétés..." (Cadre)
constexpr int GlobalFrameProperties = 40052;  // "&Propriétés globales..."
constexpr int EditLocalPalette = 40044;       // "&Palette locale..."
constexpr int MoveCrop = 40072;               // "&Déplacer/Rogner..."
constexpr int ResizeFrames = 40135;           // "Redimensionner..." (Cadre)
// Cadre > "Pi&voter"; the animation's rotations are these ids plus AnimationRotateOffset.
constexpr int FrameRotate90Cw = 40073;      // 90° dans le sens horaire
constexpr int FrameRotate180 = 40074;       // 180°
constexpr int FrameRotate90Ccw = 40075;     // 90° dans le sens antihoraire
constexpr int FrameFlipHorizontal = 40076;  // "horizontalement"
constexpr int FrameFlipVertical = 40077;    // "verticalement"
constexpr int EditPixels = 40343;           // "&Édition des pixels..."
constexpr int LiveEditFrame = 40337;        // "LiveEdit avec Éditeur d’images..."
constexpr int LiveEditAnimation = 40336;    // "Démarrer l’animation complète "
constexpr int EndLiveEdit = 40339;          // added to the menu while a LiveEdit session runs
// "Ajouter du &texte..." and "Ajouter une &image...": from the Cadre menu the selected frames
// are chosen first, from the Animation menu (and the toolbar) every frame.
constexpr int FrameAddText = 40390;
constexpr int AnimationAddText = 40391;
constexpr int FrameAddImage = 40392;
constexpr int AnimationAddImage = 40393;

// Animation
constexpr int AnimationProperties = 40008;      // "&Propriétés..." (Animation)
constexpr int EditGlobalPalette = 40050;        // "&Palette globale..."
constexpr int ResizeAnimation = 40092;          // "Redime&nsionner..."
constexpr int AnimationRotate90Cw = 40104;      // Animation > Pivoter, 90° dans le sens horaire
constexpr int AnimationRotate180 = 40105;       // 180°
constexpr int AnimationRotate90Ccw = 40106;     // 90° dans le sens antihoraire
constexpr int AnimationFlipHorizontal = 40107;  // "horizontalement"
constexpr int AnimationFlipVertical = 40108;    // "verticalement"
constexpr int AnimationRotateOffset = AnimationRotate90Cw - FrameRotate90Cw;
constexpr int Duration = 40289;          // "Du&rée..."
constexpr int ReduceColours = 40081;     // "&Réduire couleurs..."
constexpr int Optimize = 40005;          // "&Optimiser..."
constexpr int Unoptimize = 40019;        // "&Annuler optimisation"
constexpr int ReduceFrameCount = 40119;  // "Ré&duire le compte..."
constexpr int ReverseOrder = 40115;      // "In&verser l'ordre"
constexpr int PingPong = 40341;          // "Animation Ping-Pong"
constexpr int CropAnimation = 40116;     // "Ro&gner..."
constexpr int GifComments = 40016;       // "Co&mmentaires GIF..."

// Affichage
constexpr int Preview = 40010;            // "&Aperçu d’animation"
constexpr int StopPreview = 40011;        // "&Aperçu d’animation" (toolbar stop button)
constexpr int PreviewSelected = 40340;    // "Animation des cadres sélectionnés "
constexpr int ShowPropertiesBar = 40128;  // "Afficher &la barre d’outils Propriétés "
constexpr int FrameTips = 40344;          // "Afficher les astuces relatives aux cadres "
constexpr int ZoomIn = 40038;             // zoom avant
constexpr int ZoomOut = 40039;            // zoom arrière
constexpr int ActualSize = 40069;         // taille réelle
// Zoom levels -4..3 (1/5, 1/4, 1/3, 1/2, 1/1, 2/1, 3/1, 4/1) in order.
constexpr int ZoomLevelFirst = 40060;
constexpr int ZoomLevelLast = 40067;
constexpr int ZoomLevelMin = -4;
constexpr int OrientationAuto = 40027;        // orientation automatique
constexpr int OrientationHorizontal = 40028;  // bandes horizontales
constexpr int OrientationVertical = 40029;    // bandes verticales
constexpr int TransparencyAsWindow = 40088;   // "&Transparence comme" > "&Fenêtre d'arrière-plan"
constexpr int TransparencyAsFrameColour =
    40089;                                   // "&Transparence comme" > "Couleur dans le &cadre"
constexpr int TransparencyAsCustom = 40090;  // "&Transparence comme" > "Couleur &personnalisée..."
// "T&emps de téléchargement": entry i selects modem speed index i.
constexpr int DownloadTimeFirst = 40093;
constexpr int DownloadTimeLast = 40102;

// Aide
constexpr int HelpContents = 40023;  // "&Contenu de l'aide"
constexpr int Tutorial = 40127;      // "&Tutoriel..."
constexpr int About = 1004;          // About box

// Properties toolbar controls.
constexpr int ToggleTransparency = 40041;         // transparence oui/non
constexpr int ChooseTransparentColour = 40042;    // couleur de transparence
constexpr int LocalPalettePresent = 40043;        // palette locale présente
constexpr int FrameList = 40045;                  // liste des cadres
constexpr int DelayEdit = 40046;                  // intervalle
constexpr int DisposalLeave = 40047;              // enlèvement : laisser tel quel
constexpr int DisposalRestoreBackground = 40048;  // enlèvement : rétablir arrière-plan
constexpr int LoopCountEdit = 40049;              // nombre d'itérations
constexpr int DisposalRestorePrevious = 40051;    // enlèvement : retour cadre précédent
constexpr int Has24BitData = 40347;               // données de couleur de 24 bits

// Preview toolbar (handled by the preview itself; zoom and duration reuse the ids above).
constexpr int PreviewPlay = 1060;           // commencer la boucle
constexpr int PreviewStop = 1061;           // arrêter la boucle
constexpr int PreviewFirstFrame = 1062;     // premier cadre
constexpr int PreviewPreviousFrame = 1063;  // cadre précédent
constexpr int PreviewNextFrame = 1064;      // cadre suivant
constexpr int PreviewLastFrame = 1065;      // dernier cadre
constexpr int PreviewBackground = 1066;     // voir l'arrière-plan comme

// The command that undoes a rotation command: the quarter turns swap, the others undo themselves.
constexpr int InverseRotation(int command) {
  switch (command) {
    case FrameRotate90Cw: return FrameRotate90Ccw;
    case FrameRotate90Ccw: return FrameRotate90Cw;
    case AnimationRotate90Cw: return AnimationRotate90Ccw;
    case AnimationRotate90Ccw: return AnimationRotate90Cw;
    default: return command;
  }
}

}  // namespace lw::cmd
