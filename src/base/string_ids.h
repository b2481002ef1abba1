// Named ids of the string table (base/string_table.inc): code says which text it shows, the
// table keeps the numbers. Ids from 50000 up are the program's own texts that have no number of
// their own elsewhere (50300 up: the window's).
#pragma once

namespace lw::str {

// Tooltips and labels.
constexpr int StripOption = 317;               // "Bande"
constexpr int OpenAnimationFileTip = 1002;     // "Ouvrir fichier d'animation"
constexpr int PreviewPlayTip = 1060;           // "Commencer boucle d'animation"
constexpr int PreviewStopTip = 1061;           // "Arrêter boucle d'Animation"
constexpr int PreviewFirstFrameTip = 1062;     // "Premier cadre"
constexpr int PreviewPreviousFrameTip = 1063;  // "Cadre précédent"
constexpr int PreviewNextFrameTip = 1064;      // "Cadre suivant"
constexpr int PreviewLastFrameTip = 1065;      // "Dernier cadre"
constexpr int PreviewBackgroundTip = 1066;     // "Voir l'arrière-plan comme..."

// Messages, titles and menu texts.
constexpr int AnimationPropertiesTip = 40008;        // "Propriétés d'animation"
constexpr int FramePropertiesTip = 40009;            // "Propriétés du cadre"
constexpr int ShowPreviewTip = 40010;                // "Afficher aperçu d'animation"
constexpr int InsertFrameTip = 40013;                // "Insérer cadre"
constexpr int AnimationOption = 40017;               // "Animation"
constexpr int IndividualImagesOption = 40018;        // "Image(s) individuelle(s)"
constexpr int NewAnimationTip = 40021;               // "Nouvelle animation"
constexpr int ZoomInTip = 40038;                     // "Agrandir"
constexpr int ZoomOutTip = 40039;                    // "Réduire"
constexpr int ToggleTransparencyTip = 40041;         // "Permuter de transparence"
constexpr int ChooseTransparentColourTip = 40042;    // "Sélectionner couleur de transparence"
constexpr int LocalPaletteTip = 40043;               // "Palette locale"
constexpr int EditLocalPaletteTip = 40044;           // "Editer palette locale"
constexpr int FrameNameTip = 40045;                  // "Nom du cadre"
constexpr int DelayTip = 40046;                      // "Intervalle (1/100e seconde)"
constexpr int DisposalLeaveTip = 40047;              // "Supprimer : Laisser tel quel"
constexpr int DisposalRestoreBackgroundTip = 40048;  // "Supprimer : Rétablir arrière-plan"
constexpr int LoopCountTip = 40049;                  // "Nombre d'itérations (0 = continue)"
constexpr int EditGlobalPaletteTip = 40050;          // "Editer palette globale"
constexpr int DisposalRestorePreviousTip = 40051;    // "Supprimer : Retour cadre précédent"
constexpr int ActualSizeTip = 40069;                 // "Dimensions réelles"
constexpr int AviNoVideoStream =
    40082;  // "Impossible de trouver le train de données vidéo dans..."
constexpr int AviNoMemoryForMovie = 40083;  // "Mémoire insuffisante pour lire le film."
constexpr int AviBadStreamFormat = 40084;   // "Format de train erroné."
constexpr int AviNoDecompressor =
    40085;  // "Impossible de trouver un décompresseur pour lire ce..."
constexpr int AviNoGlobalPalette = 40086;  // "Incapable de créer une palette globale de 8 bits."
constexpr int AviVideoReadError = 40087;   // "Erreur survenue pendant la lecture vidéo."
constexpr int AviNoMemoryForVideoData =
    40088;                                // "Manque de mémoire survenue pendant la lecture..."
constexpr int AviCannotOpen = 40091;      // "Impossible d'ouvrir le fichier AVI %s. Erreur : 0x%x."
constexpr int AviCannotCreate = 40092;    // "Impossible de créer le fichier AVI %s."
constexpr int AviFormatProblem = 40093;   // "Problèmes de définition de format AVI."
constexpr int AviFrameSendError = 40094;  // "Erreur 0x%x pendant l'envoi de cadres à AVI."
constexpr int AviCompressorFailed =
    40095;                          // "Le Vidéo du compresseur Windows a échoué à %s.\nV..."
constexpr int OutOfMemory = 40096;  // "Erreur de manque de mémoire"
constexpr int ErrorCode = 40097;    // "Une erreur 0x%x"
constexpr int CompressionError = 40098;  // "Erreur de compression"
constexpr int ReadingAvi = 40099;  // "Lecture de fichier AVI... (Appuyez sur Esc pour annuler)"
constexpr int PreparingAviExport =
    40100;                           // "Préparation de l’exportation du fichier AVI... (Es..."
constexpr int ExportingAvi = 40101;  // "Exportation du fichier AVI... (Esc. pour abandonner)"
constexpr int HtmlNeedsFileName =
    40103;                          // "Le nom de fichier est nécessaire à la génération du..."
constexpr int PsdNotValid = 40122;  // "Il ne s'agit pas d'un fichier Photoshop PSD valide."
constexpr int PsdColourModeUnsupported =
    40123;                         // "Ce fichier PSD est en mode couleur et n'est ..."
constexpr int PsdDamaged = 40124;  // "Erreur de lecture de données. Ce fichier semble être altéré."
constexpr int PsdNoMemoryForImage =
    40125;  // "Mémoire insuffisante pour la lecture l'image (ou ..."
constexpr int PsdNoMemoryForComposite =
    40126;  // "Mémoire insuffisante pour la construction d'i..."
constexpr int PsdNoMemoryForMask =
    40127;                               // "Mémoire insuffisante pour lire le masque de transp..."
constexpr int ReadingPsd = 40128;        // "Lecture de fichier PSD..."
constexpr int ReadingLayerInfo = 40129;  // "Lecture d'information d'étage..."
constexpr int ReadingLayerData = 40130;  // "Lecture de données d'étage d'image..."
constexpr int CommentTooLong =
    40152;  // "La chaîne de commentaires doit contenir moins de 255 c..."
constexpr int StripNoMemory = 40159;  // "Mémoire insuffisante pour la création de bandes."
constexpr int StripTotals =
    40162;  // "pour un total de %d cadre(s) par bande dessinée et %dx%d ..."
constexpr int StripCannotSplitHorizontally = 40164;  // "Impossible de diviser à l'horizontale."
constexpr int StripCannotSplitVertically = 40165;    // "Impossible de diviser à la verticale."
constexpr int StripSingleImage =
    40166;                           // "Un fichier de bande ne contient qu'une seule image. ..."
constexpr int BmpNoMemory = 40178;   // "Mémoire insuffisante pour lire ce fichier BMP/DIB."
constexpr int JpegNoMemory = 40179;  // "Mémoire insuffisante pour lire les données d'image JPEG."
constexpr int NoLocalPalette = 40181;  // "Impossible de créer une palette locale."
constexpr int NoFrameMemory = 40182;  // "Mémoire insuffisante pour construire une image de cadre."
constexpr int GifDamaged = 40183;  // "Erreur survenue pendant la lecture du fichier. Le fichier..."
constexpr int PartialRead = 40184;      // "Seule la partie d'animation a été lue."
constexpr int CannotReadFile = 40185;   // "Impossible de lire le fichier."
constexpr int FrameNameFormat = 40186;  // "%s - cadre %d"
constexpr int ReadingGif = 40187;  // "Lecture de fichier GIF...  (Appuyez sur Esc pour annuler)"
constexpr int CropBeforeSaveQuestion =
    40188;                                   // "Cette animation contient des cadres qui s'éten..."
constexpr int CropBeforeSaveTitle = 40189;   // "Faut-il rogner l'animation?"
constexpr int ImageDataUnsupported = 40190;  // "Ce type de données d'image n'est pas admis."
constexpr int BmpRleUnsupported =
    40191;                       // "Les images BMP/DIB comprimées RLE ne sont pas admis..."
constexpr int Untitled = 40193;  // "[Sans nom]"
constexpr int NoMemoryForCopyCut = 40194;  // "Mémoire insuffisante pour l'opération copier-couper"
constexpr int NoMemoryForComment =
    40195;  // "Mémoire insuffisante pour ajouter une nouveau comm..."
constexpr int CommentTooLongAgain =
    40208;                                // "La chaîne de commentaires doit contenir moins de ..."
constexpr int InsertFramesTitle = 40229;  // "Insérer des cadres dans l'animation"
constexpr int OpenFilesTitle = 40230;     // "Ouvrir fichiers"
constexpr int RevertQuestion =
    40232;  // "Le retour à la dernière version sauvegardée va effacer..."
constexpr int RevertTitle = 40233;         // "Revenir à la dernière version sauvegardée"
constexpr int CannotOpenFile = 40236;      // "Impossible d'ouvrir le fichier '%s'."
constexpr int NotAGifFile = 40237;         // "%s n'est pas un fichier GIF valide."
constexpr int CannotReadFileType = 40238;  // "Impossible de lire ce type de fichier."
constexpr int CannotSaveTemporary =
    40239;                         // "Impossible de sauvegarder '%s' (fichier temporair..."
constexpr int WritingGif = 40240;  // "Écriture GIF animation... (Appuyez sur Esc pour annuler)"
constexpr int CannotWriteFile = 40241;          // "Impossible d'écrire %s."
constexpr int PastingFrame = 40243;             // "En train de coller le cadre..."
constexpr int NoPastableFormat = 40244;         // "Ne peut coller aucun des formats offerts."
constexpr int ContinueReadingQuestion = 40245;  // "Voulez-vous poursuivre la lecture des fichiers?"
constexpr int OpenErrorTitle = 40246;           // "Erreur d'ouverture de fichier"
constexpr int OpenFailedWithCode = 40248;       // "Echec d'ouverture de fichier avec erreur %lX."
constexpr int SaveUntitledQuestion =
    40249;  // "Sauvegarder les modifications à l'animation sans..."
constexpr int SaveChangesQuestion = 40250;     // "Sauvegarder les changements de %s?"
constexpr int UndoMenuFormat = 40254;          // "&Annuler %s\tCtrl-Z"
constexpr int UndoMenuDisabled = 40255;        // "Impossible d'annuler\tCtrl-Z"
constexpr int RedoMenuFormat = 40256;          // "&Refaire %s\tCtrl-Y"
constexpr int RedoMenuDisabled = 40257;        // "Impossible de refaire\tCtrl-Y"
constexpr int UndoMoveFrame = 40258;           // "Déplacement du cadre"
constexpr int UndoDeleteFrame = 40259;         // "Suppression du cadre"
constexpr int UndoInsertFrames = 40260;        // "Insertion de cadre(s)"
constexpr int UndoOptimize = 40261;            // "Optimisation de l'animation"
constexpr int UndoUnoptimize = 40262;          // "Désoptimisation de l'animation"
constexpr int UndoReducePalette = 40263;       // "Réduction de la palette"
constexpr int UndoMoveCrop = 40266;            // "Déplacer/Rogner cadre"
constexpr int UndoCropAnimation = 40267;       // "Rogner animation"
constexpr int UndoRotateFrame = 40268;         // "Pivoter cadre"
constexpr int UndoRotateAllFrames = 40269;     // "Pivoter tous les cadres"
constexpr int UndoEditTransparency = 40270;    // "Editer transparence"
constexpr int UndoEditPalette = 40272;         // "Editer la palette"
constexpr int UndoRemoveLocalPalette = 40273;  // "Supprimer la palette local"
constexpr int UndoReverseAnimation = 40274;    // "Inverser l'animation"
constexpr int UndoReduceFrameCount = 40276;    // "Réduire le nombre de cadre"
constexpr int UndoResizeAnimation = 40277;     // "Redimensionner animation"
constexpr int UndoPaste = 40278;               // "Coller"
constexpr int UndoNop = 40279;                 // "NOP"
constexpr int UndoMemoryWarning =
    40281;  // "Mémoire insuffisante pour l'annulation complète des..."
constexpr int UndoMemoryWarningTitle = 40282;  // "Avertissemment sur l'annulation"
constexpr int UndoEditDurations = 40289;       // "Editer la durée"
constexpr int UntitledWithExtension = 40292;   // "Sans titre.%s"
constexpr int UndoReeditDurations = 40296;     // "Rééditer la durée"
constexpr int UndoMergeAnimations = 40299;     // "Fusionner les animations"
constexpr int MergedFrameName = 40300;         // "Fusionner cadre %d"
constexpr int JpegNotRgb = 40309;  // "Ne peut lire les fichiers JPEGs qui n'utilisent pas le fo..."
constexpr int ErrorCaption = 40325;  // "Erreur"
constexpr int AviNoAudioStream =
    40327;  // "Aucun flot de données audio n’a été trouvé dans %s. ..."
constexpr int AviNoAudioWhileInterleaving =
    40328;                                  // " Aucun flot de données audio n’a été trou..."
constexpr int JpegDecompressError = 40329;  // "Erreur survenue lors de la décompression JPEG."
constexpr int PngDamaged = 40330;  // "Erreur lors de la lecture des données PNG. Le fichier sem..."
constexpr int SkipUnreadableFileQuestion =
    40331;                                   // "Impossible de lire le fichier. Continuer l..."
constexpr int CannotReadFilePrefix = 40332;  // "Impossible de lire le fichier "
constexpr int Bmp16BitUnsupported =
    40333;                           // "Le format de cette image couleur de 16 bits n’est..."
constexpr int SaveAsTitle = 40334;   // "Sauvegarder sous"
constexpr int UndoPingPong = 40336;  // "Animation Ping Pong "
constexpr int ReplaceExistingQuestion = 40337;  // "\"%s existe déjà.\nVoulez-vous le remplacer?\""
constexpr int PalDamaged = 40338;  // "Erreur lors de la lecture des données de palette PAL. Le ..."
constexpr int LoadPaletteTitle = 40339;    // "Charger la palette d’un fichier image"
constexpr int SavePaletteTitle = 40340;    // "Sauvegarder la palette"
constexpr int UndoCoEditFrame = 40346;     // "Coédition de cadre"
constexpr int FrameHasTrueColour = 40347;  // "Le cadre comporte des données de couleur de 24 bits "
constexpr int UndoDropTrueColour = 40348;         // "Retrait des données de couleur de 24 bits "
constexpr int UndoFrameProperties = 40349;        // "Changement des propriétés de cadre"
constexpr int UndoGlobalFrameProperties = 40351;  // " Changement global des propriétés de cadre "
constexpr int UndoEditPixels = 40352;             // "Éditer les pixels"
constexpr int NoResourcesForPreview =
    40353;                                // "Ressources système insuffisantes pour afficher ..."
constexpr int InsertOrOpenTitle = 40354;  // "Insérer le(s) cadre(s) ou ouvrir l'animation"
constexpr int LiveEditCannotNotify =
    40356;  // "Impossible de démarrer la notification d’une ses..."
constexpr int LiveEditUpdateFailed =
    40357;                             // "Une erreur lors de la mise à jour LiveEdit. La s..."
constexpr int MergeWithTitle = 40358;  // "Fusionner avec"
constexpr int ReadingFile = 40359;     // "Lecture de %s... (Esc, pour abandonner)"
constexpr int LiveEditNeedsPsdEditor =
    40360;  // "Impossible de démarrer la session LiveEdit d’u..."
constexpr int LiveEditCannotStartEditor =
    40361;                                      // "Une erreur est survenue lors de la tentativ..."
constexpr int LiveEditWith = 40362;             // "LiveEdit avec %s..."
constexpr int LiveEditWithImageEditor = 40363;  // "LiveEdit avec l'éditeur d'images..."
constexpr int UndoFixForAvi = 40364;            // "Fix for AVI"
constexpr int UndoAddTrueColour = 40365;        // "Ajouter des données de couleur de 24 bits"

// The program's own texts.
constexpr int SettingsDamaged =
    50000;  // "Le fichier des réglages « %s » est endommagé ; les ré..."
constexpr int SettingsDamagedMovedAside =
    50001;                               // "Le fichier des réglages « %s » était endomm..."
constexpr int DefaultSignature = 50002;  // "Réalisé avec Loopwright 4.0"
constexpr int EditWithVerb = 50003;      // "Editer avec Loopwright"
constexpr int StatusFileSize = 50020;    // "Fichier de : %s octets"
constexpr int StatusFileSizeWithTime = 50021;  // "Fichier de : %s octets  (%s à %s)"
constexpr int StatusSizeComputing = 50022;     // "Volume du fichier : calcul..."
constexpr int StatusReady = 50023;             // "Prêt à animer"
constexpr int DownloadUnderTenth = 50024;      // "< 0.1sec"
constexpr int DownloadSeconds = 50025;         // "%.1fsecs"
constexpr int StatusSeveralFrames = 50026;     // "  Multiple de %d"
constexpr int StatusNoFrame = 50027;           // "  Aucun des %d cadres"
constexpr int StatusFrameOf = 50028;           // "  Cadre #%d sur %d"
constexpr int StatusDuration = 50029;          // "  %.2f secs"
constexpr int TitleUntitled = 50030;           // "Sans nom - Loopwright"
constexpr int TitleWithName = 50031;           // "%s - Loopwright"
constexpr int FrameListNone = 50032;           // "[Aucune]"
constexpr int FrameListMultiple = 50033;       // "Cadres Multiples"
constexpr int DelayRangeText = 50034;   // "L'intervalle doit être compris entre 0 et 65 535."
constexpr int DelayRangeTitle = 50035;  // "Valeur d'intervalle invalide"
constexpr int LoopRangeText =
    50036;  // "Le nombre d'itérations doit être compris entre 0 et 65 ..."
constexpr int LoopRangeTitle = 50037;          // "Valeur d'itération erronée"
constexpr int TipSize = 50040;                 // "Taille : %u x %u"
constexpr int TipOffset = 50041;               // "Décalage : (%d , %d)"
constexpr int TipDelay = 50042;                // "Délai : %u/100 s"
constexpr int TipDisposal = 50043;             // "Enlèvement : "
constexpr int TipDisposalBackground = 50044;   // "Couleur d'arrière-plan"
constexpr int TipDisposalPrevious = 50045;     // "Retour cadre précédent"
constexpr int TipDisposalLeave = 50046;        // "Laissez tel quel"
constexpr int TipAlphaChannel = 50047;         // "Canal alpha"
constexpr int TipTransparent = 50048;          // "Transparent"
constexpr int TipNoTransparency = 50049;       // "Aucune transparence "
constexpr int TipLocalPalette = 50050;         // "Palette locale"
constexpr int TipGlobalPalette = 50051;        // "Palette globale"
constexpr int TipBitCount = 50052;             // "Décompte de bits : %d"
constexpr int BatchInputNotFound = 50080;      // "Input file %s not found"
constexpr int BatchListReadError = 50081;      // "Error reading file list."
constexpr int BatchInputFailed = 50082;        // "Input operation unsuccessful."
constexpr int BatchMergeFailed = 50083;        // "Input merge unsuccessful."
constexpr int BatchNothingToOutput = 50084;    // "Nothing to output."
constexpr int BatchNothingToOptimize = 50085;  // "Nothing to optimize."
constexpr int BatchUnknownFlag = 50086;        // "Unrecognized flag: %s"
constexpr int DropTrueColourTitle = 50100;     // "Aucune prise en charge des couleurs de 24 bits"
constexpr int DropTrueColourText =
    50101;  // "Cette opération est ciblée pour le format GIF et n..."
constexpr int OptimizeNoModel =
    50102;  // "Ressources insuffisantes pour optimiser complètement ..."
constexpr int OptimizeShortOfResources = 50103;  // "Pénurie de ressources pendant l'optimisation."
constexpr int OptimizingFrameImages = 50104;     // "Optimisation des images de cadre..."
constexpr int RemovingLocalPalettes = 50105;     // "Suppression de palettes locales..."
constexpr int ReducingGlobalPalette = 50106;     // "Réduction de la palette globale..."
constexpr int ReducingLocalPalettes = 50107;     // "Réduction des palettes locales..."
constexpr int UnoptimizeLocalPalettesText =
    50110;  // "En raison de l'existence de palettes loca..."
constexpr int UnoptimizeLocalPalettesTitle = 50111;  // "Impossible d'annuler l'optimisation"
constexpr int UnoptimizeNoCanvasMemory =
    50112;  // "Mémoire insuffisante pour la l'annulation d'..."
constexpr int UnoptimizeNoFrameMemory =
    50113;                           // "Mémoire insuffisante pour terminer l'annulati..."
constexpr int Unoptimizing = 50114;  // "Annulation de l'optimisation de l'animation..."
constexpr int NoMemoryForPalettes =
    50120;  // "Mémoire insuffisante pour construire de nouvelles..."
constexpr int RemappingFrameColours = 50121;  // "Remise en correspondance des couleurs de cadre..."
constexpr int AnalysingColours = 50122;       // "Analyse de couleurs..."
constexpr int CreatingLocalPalettes = 50123;  // "Création de palettes locales..."
constexpr int NoResourcesToRemoveLocalPalette =
    50124;                                   // "Pénurie de ressources pour Supprimer ..."
constexpr int NoMemoryForDithering = 50125;  // "Mémoire insuffisante pour la juxtaposition."
constexpr int NoResourcesForDitherError =
    50126;                                     // "Pénurie de ressources pour indiquer l'erreu..."
constexpr int ReducingPalettes = 50127;        // "Réduire les palettes..."
constexpr int DitheringFrames = 50128;         // "Juxtaposition de cadres..."
constexpr int RemappingFrames = 50129;         // "Remise en correspondance des cadres..."
constexpr int RemappingLocalPalettes = 50130;  // "Remise en correspondance des palettes locales..."
constexpr int Blending = 50200;                // "Blending..."

// File filters, the batch and save flows' English messages, the intro panel, buttons.
constexpr int FilterAllFiles = 50210;         // "Tous les fichiers (*.*)"
constexpr int FilterAllFilesEnglish = 50211;  // "All Files (*.*)"
constexpr int FilterAllFormats = 50212;       // "Tous formats supportés"
constexpr int FilterGif = 50213;              // "Fichiers GIF (*.gif)"
constexpr int SaveFilterGif = 50214;          // "Animation/image GIF (.gif)"
constexpr int FilterAvi = 50215;              // "Fichiers AVI (*.avi)"
constexpr int SaveFilterAvi = 50216;          // "Fichiers AVI (.avi)"
constexpr int FilterBmp = 50217;              // "Fichiers BMP (*.bmp,*.dib)"
constexpr int SaveFilterBmp = 50218;          // "Fichiers BMP (.bmp)"
constexpr int FilterJpeg = 50219;             // "Fichiers JPEG (*.jpg,*.jpe,*.jpeg)"
constexpr int SaveFilterJpeg = 50220;         // "Fichiers JPEG (.jpg)"
constexpr int FilterPsd = 50221;              // "Fichiers Photoshop PSD (*.psd)"
constexpr int SaveFilterPsd = 50222;          // "Fichiers Photoshop PSD (.psd)"
constexpr int FilterAni = 50223;              // "Curseurs animés (*.ani)"
constexpr int SaveFilterAni = 50224;          // "Curseurs animés (.ani)"
constexpr int FilterIco = 50225;              // "Icônes (*.ico)"
constexpr int SaveFilterIco = 50226;          // "Icônes (.ico)"
constexpr int FilterCur = 50227;              // "Curseurs (*.cur)"
constexpr int SaveFilterCur = 50228;          // "Curseurs (.cur)"
constexpr int FilterPng = 50229;              // "Fichiers PNG (*.png)"
constexpr int SaveFilterPng = 50230;          // "Fichiers PNG (.png)"
constexpr int SaveFilterSwf = 50231;          // "Animation Macromedia Flash (SWF) (.swf)"
constexpr int FilterStrips = 50232;           // "Bandes (*.gif, *.bmp)"
constexpr int FilterGifStrips = 50233;        // "Bandes GIF (*.gif)"
constexpr int FilterBmpStrips = 50234;        // "Bandes BMP (*.bmp)"
constexpr int CannotDeleteTemporary =
    50235;  // "Unable to delete temporary file %s. Please dele..."
constexpr int CannotOverwriteOrRecover =
    50236;                                  // "Can't overwrite %s and unable to recover that f..."
constexpr int IntroOpenTitle = 50237;       // "Ouvrir une animation"
constexpr int IntroOpenDetail = 50238;      // "Un fichier GIF à modifier"
constexpr int IntroAssembleTitle = 50239;   // "Assembler des images"
constexpr int IntroAssembleDetail = 50240;  // "Des cadres venus de vos fichiers"
constexpr int IntroTutorialTitle = 50241;   // "Suivre le tutoriel"
constexpr int IntroTutorialDetail = 50242;  // "Les bases en dix minutes"
constexpr int IntroTagline = 50243;         // "Éditeur d’animations GIF"
constexpr int PreviewTitle = 50244;         // "Aperçu d'animation"
constexpr int ButtonAbort = 50245;          // "Abandonner"
constexpr int ButtonRetry = 50246;          // "Réessayer"
constexpr int ButtonIgnore = 50247;         // "Ignorer"
constexpr int ButtonYes = 50248;            // "Oui"
constexpr int ButtonNo = 50249;             // "Non"
constexpr int ProgressPlaceholder = 50250;  // "Texte..."

// The window's own texts: menu labels and titles, hints, messages.
constexpr int LabelOpen = 50300;
constexpr int LabelImportAvi = 50301;
constexpr int LabelImportBmp = 50302;
constexpr int LabelImportJpeg = 50303;
constexpr int LabelImportStrip = 50304;
constexpr int LabelImportPsd = 50305;
constexpr int LabelImportPng = 50306;
constexpr int LabelImportIcon = 50307;
constexpr int LabelImportCursor = 50308;
constexpr int LabelImportAnimatedCursor = 50309;
constexpr int LabelInsertFrames = 50310;
constexpr int LabelMergeWith = 50311;
constexpr int LabelSave = 50312;
constexpr int LabelSaveAs = 50313;
constexpr int LabelSaveGifAs = 50314;
constexpr int LabelRevert = 50315;
constexpr int LabelNew = 50316;
constexpr int LabelHtmlCode = 50317;
constexpr int LabelExit = 50318;
constexpr int LabelUndo = 50319;
constexpr int LabelRedo = 50320;
constexpr int LabelCut = 50321;
constexpr int LabelCopy = 50322;
constexpr int LabelPaste = 50323;
constexpr int LabelDelete = 50324;
constexpr int LabelSelectAll = 50325;
constexpr int LabelInvertSelection = 50326;
constexpr int LabelPreferences = 50327;
constexpr int LabelProperties = 50328;
constexpr int LabelGlobalFrameProperties = 50329;
constexpr int LabelLocalPalette = 50330;
constexpr int LabelMoveCrop = 50331;
constexpr int LabelResizeFrames = 50332;
constexpr int LabelRotate90Cw = 50333;
constexpr int LabelRotate180 = 50334;
constexpr int LabelRotate90Ccw = 50335;
constexpr int LabelFlipHorizontal = 50336;
constexpr int LabelFlipVertical = 50337;
constexpr int LabelEditPixels = 50338;
constexpr int LabelGlobalPalette = 50339;
constexpr int LabelResizeAnimation = 50340;
constexpr int LabelLiveEditAnimation = 50341;
constexpr int LabelDuration = 50342;
constexpr int LabelReduceColours = 50343;
constexpr int LabelOptimize = 50344;
constexpr int LabelUnoptimize = 50345;
constexpr int LabelReduceFrameCount = 50346;
constexpr int LabelReverseOrder = 50347;
constexpr int LabelPingPong = 50348;
constexpr int LabelCropAnimation = 50349;
constexpr int LabelGifComments = 50350;
constexpr int LabelPreview = 50351;
constexpr int LabelStopPreview = 50352;
constexpr int LabelPreviewSelected = 50353;
constexpr int LabelShowPropertiesBar = 50354;
constexpr int LabelFrameTips = 50355;
constexpr int LabelZoomIn = 50356;
constexpr int LabelZoomOut = 50357;
constexpr int LabelActualSize = 50358;
constexpr int LabelOrientationAuto = 50359;
constexpr int LabelOrientationHorizontal = 50360;
constexpr int LabelOrientationVertical = 50361;
constexpr int LabelTransparencyAsWindow = 50362;
constexpr int LabelTransparencyAsFrameColour = 50363;
constexpr int LabelTransparencyAsCustom = 50364;
constexpr int LabelHelpContents = 50365;
constexpr int LabelTutorial = 50366;
constexpr int LabelAbout = 50367;
constexpr int LabelZoomLevelFirst = 50370;
constexpr int MenuFile = 50380;
constexpr int MenuImport = 50381;
constexpr int MenuEdit = 50382;
constexpr int MenuFrame = 50383;
constexpr int MenuFrameRotate = 50384;
constexpr int MenuAnimation = 50385;
constexpr int MenuAnimationRotate = 50386;
constexpr int MenuReorder = 50387;
constexpr int MenuView = 50388;
constexpr int MenuZoom = 50389;
constexpr int MenuOrientation = 50390;
constexpr int MenuTransparency = 50391;
constexpr int MenuDownloadTime = 50392;
constexpr int MenuHelp = 50393;
constexpr int ToolbarMain = 50394;
constexpr int ToolbarProperties = 50395;
constexpr int PendingFormats = 50400;
constexpr int PendingDialogs = 50402;
constexpr int PendingColour = 50403;
constexpr int PendingLiveEdit = 50405;
constexpr int TooltipWithHint = 50406;
constexpr int HelpMissing = 50410;
constexpr int TutorialMissing = 50411;
constexpr int NoBrowser = 50412;
constexpr int AboutTitle = 50414;
constexpr int AboutName = 50415;
constexpr int AboutText = 50416;
constexpr int ButtonOk = 50417;

constexpr int PrefLorsqueNouveauxCadresSont = 50430;
constexpr int PrefUtiliserPaletteGlobaleAuto = 50431;
constexpr int PrefFusionnerNouveauCadreAvec = 50432;
constexpr int PrefMettreCorrespondanceNouveauCadre = 50433;
constexpr int PrefMettreCorrespondanceTousLes = 50434;
constexpr int PrefUtiliserPaletteLocalePour = 50435;
constexpr int PrefJuxtaposerLesCouleursDurant = 50436;
constexpr int PrefNombreMaximumCouleurs = 50437;
constexpr int PrefNombreMaximalCouleursUtiliser = 50438;
constexpr int PrefConsiderezQueCetteValeur = 50439;
constexpr int PrefToujoursDemanderLesPreferences = 50440;
constexpr int PrefVousUtiliserezPrincipalementLogiciel = 50441;
constexpr int PrefCreationEditionAffichageFichiers = 50442;
constexpr int PrefCreationIconesWindows = 50443;
constexpr int PrefAutreParametresPaletteCouleur = 50444;
constexpr int PrefApercu = 50445;
constexpr int PrefIgnorerNombreIterationsDans = 50446;
constexpr int PrefApercuPleinEcranEchap = 50447;
constexpr int PrefMontrerAutomatiquementApercuApres = 50448;
constexpr int PrefPermettreEntrelacementInterieurAnimation = 50449;
constexpr int PrefAfficherBoiteInsererCadre = 50450;
constexpr int PrefAjouterEditerAvecLoopwright = 50451;
constexpr int PrefNiveauxAnnulation = 50452;
constexpr int PrefSelectionner = 50453;
constexpr int PrefEditeurImagesCoedition = 50454;
constexpr int PrefBrowseForCoeditImage = 50455;
constexpr int PrefApplications = 50456;
constexpr int PrefErreurReglageAssociationFichier = 50457;
constexpr int PrefValeursDesNouveauxCadres = 50458;
constexpr int PrefSeconde = 50459;
constexpr int PrefIntervalle = 50460;
constexpr int PrefContinue = 50461;
constexpr int PrefNombreIterations = 50462;
constexpr int PrefCadreInserePlusGrand = 50463;
constexpr int PrefRognerCadreInsereAux = 50464;
constexpr int PrefChangerLesDimensionsActuelles = 50465;
constexpr int PrefToujoursDemander = 50466;
constexpr int PrefIntervalleDoitEtreCompris = 50467;
constexpr int PrefValeurIntervalleInvalide = 50468;
constexpr int PrefNombreIterationsDoitEtre = 50469;
constexpr int PrefValeurIterationErronee = 50470;
constexpr int PrefConserverLesCouleursBits = 50471;
constexpr int PrefExporterTransparenceDansLes = 50472;
constexpr int PrefFrequenceFixeDesImages = 50473;
constexpr int PrefImagesSeconde = 50474;
constexpr int PrefRendreTransparenteCetteCouleur = 50475;
constexpr int PrefQualiteJpeg = 50476;
constexpr int PrefQualite = 50477;
constexpr int PrefToujoursAjouterCommentaireMax = 50478;
constexpr int PrefCommentaireTropLong = 50479;
constexpr int PrefChaineCommentairesDoitContenir = 50480;
constexpr int PrefAfficherInformationSurLes = 50481;
constexpr int PrefInformationAffichee = 50482;
constexpr int PrefCadreNumero = 50483;
constexpr int PrefGrandeurDimensions = 50484;
constexpr int PrefDecalage = 50485;
constexpr int PrefIntervale = 50486;
constexpr int PrefDisposition = 50487;
constexpr int PrefTransparence = 50488;
constexpr int PrefTypePalette = 50489;
constexpr int PrefNombreBit = 50490;
constexpr int PrefPreferencesGenerales = 50491;
constexpr int PrefUtilisation = 50492;
constexpr int PrefProgramme = 50493;
constexpr int PrefPalettes = 50494;
constexpr int PrefAnimation = 50495;
constexpr int PrefExport = 50496;
constexpr int PrefInformationSurLesCadres = 50497;
constexpr int ButtonCancel = 50498;

constexpr int AskConflitDimensionsCadre = 50500;
constexpr int AskCadreInsereEstPlus = 50501;
constexpr int AskConsiderezQueCetteValeur = 50502;
constexpr int AskFusionPalettesCouleursPalette = 50503;
constexpr int AskLoopwright = 50504;
constexpr int AskBienvenueDansLogicielLoopwright = 50505;
constexpr int AskCreationFichiersGifAnimations = 50506;
constexpr int AskAutreGereraiPersonnellementLes = 50507;
constexpr int AskParametrePeutEtreModifie = 50508;

constexpr int DurIntervallesDesCadres = 50520;
constexpr int DurNumeroCadre = 50521;
constexpr int DurSecondeDintervalleAvantLimage = 50522;
constexpr int DurSecondeDintervalleApresLimage = 50523;
constexpr int DurValeurImpliciteDesIntervalles = 50524;
constexpr int DurRemettreDureeValeurOriginale = 50527;
constexpr int DurModifierDureeToutesLes = 50528;
constexpr int DurReglerToutesLesIntervalles = 50529;
constexpr int DurAjouterValeurToutesLes = 50530;
constexpr int DurSoustraireValeurToutesLes = 50531;
constexpr int DurMultiplierToutesLesIntervalles = 50532;
constexpr int DurDiviserToutesLesIntervalles = 50533;
constexpr int DurAvant = 50534;
constexpr int DurApres = 50535;
constexpr int DurToutesLesIntervalles = 50536;

}  // namespace lw::str

// The dialogs' and the later subsystems' ids.
#include "base/string_ids_dialogs.h"
