// Named ids of the string table, continued: the dialogs, the export formats, the batch mode and
// the later subsystems. Included by base/string_ids.h; include that one.
#pragma once

namespace lw::str {

// Geometry: resizing, rotating and cropping.
constexpr int Resizing = 50700;  // "Redimensioner l'animation..."
constexpr int NoBicubicMemory =
    50701;  // "Mémoire insuffisante pour l'échelle bicubique. Opérati..."
constexpr int ResizeAnimationTitle = 50720;
constexpr int ResizeFrameTitle = 50721;
constexpr int ResizeCurrentSize = 50722;
constexpr int ResizeNewSize = 50723;
constexpr int ResizeWidth = 50724;
constexpr int ResizeHeight = 50725;
constexpr int ResizePixels = 50726;
constexpr int ResizePercentColumn = 50727;
constexpr int ResizeKeepAspect = 50728;
constexpr int ResizeMethod = 50729;
constexpr int ResizeNearestMethod = 50730;
constexpr int ResizeBicubicMethod = 50731;
constexpr int BicubicWarningTitle = 50732;
constexpr int BicubicWarningText = 50733;
constexpr int MoveCropTitle = 50740;
constexpr int CropAnimationTitle = 50741;
constexpr int MoveCropShowPrevious = 50742;
constexpr int MoveCropShowNext = 50743;
constexpr int MoveCropShowFirst = 50744;
constexpr int MoveCropShowCroppedFrame = 50745;
constexpr int MoveCropShowCroppedAnimation = 50746;
constexpr int MoveCropKeptSize = 50747;
constexpr int MoveCropLeft = 50748;
constexpr int MoveCropTop = 50749;
constexpr int MoveCropRight = 50750;
constexpr int MoveCropBottom = 50751;
constexpr int MoveCropX = 50752;
constexpr int MoveCropY = 50753;
constexpr int MoveCropReset = 50754;
constexpr int MoveCropAuto = 50755;
constexpr int MoveCropAlignLeft = 50756;
constexpr int MoveCropAlignRight = 50757;
constexpr int MoveCropAlignTop = 50758;
constexpr int MoveCropAlignBottom = 50759;
constexpr int MoveCropCentreHorizontally = 50760;
constexpr int MoveCropCentreVertically = 50761;
constexpr int MoveCropCentre = 50762;
constexpr int MoveCropCropGroup = 50763;
constexpr int MoveCropPositionGroup = 50764;

// Property dialogs
constexpr int PropSheetTitle = 50800;
constexpr int PropPageFrame = 50801;
constexpr int PropPageMultiple = 50802;
constexpr int PropPageGlobal = 50803;
constexpr int PropPageAnimation = 50804;
constexpr int PropName = 50805;
constexpr int PropInterlaced = 50806;
constexpr int PropTrueColour = 50807;
constexpr int PropLocalPalette = 50808;
constexpr int PropEdit = 50809;
constexpr int PropTransparent = 50810;
constexpr int PropWidth = 50811;
constexpr int PropHeight = 50812;
constexpr int PropOffsetX = 50813;
constexpr int PropOffsetY = 50814;
constexpr int PropDelayBefore = 50815;
constexpr int PropDelayAfter = 50816;
constexpr int PropDisposalNone = 50817;
constexpr int PropDisposalLeave = 50818;
constexpr int PropDisposalBackground = 50819;
constexpr int PropDisposalPrevious = 50820;
constexpr int PropOffsetRange = 50821;
constexpr int PropOffsetRangeTitle = 50822;
constexpr int PropOffsetCrops = 50823;
constexpr int PropOffsetCropsTitle = 50824;
constexpr int PropDelayRange = 50825;
constexpr int PropDelayRangeTitle = 50826;
constexpr int PropSharedNote = 50827;
constexpr int PropFileName = 50828;
constexpr int PropFrameCount = 50829;
constexpr int PropLoopCount = 50830;
constexpr int PropLoopNote = 50831;
constexpr int PropGlobalPalette = 50832;
constexpr int PropBackground = 50833;
constexpr int PropBackgroundNote = 50834;
constexpr int PropAutoSize = 50835;
constexpr int PropWidthRange = 50836;
constexpr int PropWidthRangeTitle = 50837;
constexpr int PropWidthCuts = 50838;
constexpr int PropSizeCutsTitle = 50839;
constexpr int PropHeightRange = 50840;
constexpr int PropHeightRangeTitle = 50841;
constexpr int PropHeightCuts = 50842;
constexpr int PropLoopRange = 50843;
constexpr int PropLoopRangeTitle = 50844;
constexpr int CommentListTitle = 50845;
constexpr int CommentAdd = 50846;
constexpr int CommentDelete = 50847;
constexpr int CommentEditTitle = 50848;
constexpr int CommentTooLongText = 50849;
constexpr int CommentTooLongTitle = 50850;
constexpr int ReduceCountTitle = 50851;
constexpr int ReduceCountDeleteOne = 50852;
constexpr int ReduceCountFrames = 50853;
constexpr int ReduceCountCurrent = 50854;
constexpr int ReduceCountAfter = 50855;
constexpr int ReduceCountRange = 50856;
constexpr int ReduceCountRangeTitle = 50857;
constexpr int PropCancel = 50858;
constexpr int PropOk = 50859;

// The optimize and merge dialogs.
constexpr int OptimizeTitle = 50900;
constexpr int OptimizeCropFrames = 50901;
constexpr int OptimizeDuplicates = 50902;
constexpr int OptimizeRemoveLocal = 50903;
constexpr int OptimizeMapToGlobal = 50904;
constexpr int OptimizeMetaPalette = 50905;
constexpr int OptimizeOnlyWhenMerging = 50906;
constexpr int OptimizeReducePalettes = 50907;
constexpr int OptimizeUselessFrames = 50908;
constexpr int OptimizeCurrentSize = 50909;
constexpr int OptimizeOptimizedSize = 50910;
constexpr int OptimizeSaving = 50911;
constexpr int OptimizeSizeBytes = 50912;
constexpr int OptimizeSizeNone = 50913;
constexpr int OptimizeCopying = 50914;
constexpr int OptimizeMeasuring = 50915;
constexpr int OptimizeSeekingRemovable = 50916;
constexpr int OptimizeSeekingRemoved = 50917;
constexpr int OptimizeNoTrialMemory = 50918;
constexpr int MergeOffsetX = 50930;
constexpr int MergeOffsetY = 50931;
constexpr int MergeSynchronisation = 50932;
constexpr int MergeByDuration = 50933;
constexpr int MergeOneByOne = 50934;
constexpr int MergeLoopShorter = 50935;

constexpr int PalEditTitle = 50600;
constexpr int PalEditFixedTitle = 50601;
constexpr int PalUsageCount = 50602;
constexpr int PalShowUsage = 50603;
constexpr int PalRed = 50604;
constexpr int PalGreenV = 50605;
constexpr int PalBlue = 50606;
constexpr int PalGreenG = 50607;
constexpr int PalExport = 50608;
constexpr int TranspChooseTitle = 50610;
constexpr int LockedColoursTitle = 50611;
constexpr int ToolChooseTransparent = 50612;
constexpr int ToolAddTransparent = 50613;
constexpr int ToolEraseTransparent = 50614;
constexpr int ShowColourData = 50615;
constexpr int BackgroundIndexTitle = 50616;
constexpr int PixelEditTitle = 50617;
constexpr int ToolSelectColour = 50618;
constexpr int ToolSetPixel = 50619;
constexpr int ToolFill = 50620;
constexpr int GridEntryTip = 50621;
constexpr int GridTransparentTip = 50622;
constexpr int ImagePixelTip = 50623;

// Reduce colours dialog.
constexpr int ReduceTitle = 51000;           // "Réduire Couleurs"
constexpr int ReduceFullPalette = 51001;     // "Palette entière"
constexpr int ReduceReducedPalette = 51002;  // "Palette réduite"
constexpr int ReduceColourCount = 51003;     // "(%d couleurs)"
constexpr int ReduceDither = 51004;          // "Simulation de la palette"
constexpr int ReduceVolume = 51005;          // "Volume : %s octets"
constexpr int ReduceSavingNone = 51006;      // "Sauvegardés : Aucun"
constexpr int ReduceSaving = 51007;          // "Sauvegardés : %s octets (%.1f%%)"
constexpr int ReduceNothing = 51008;         // "La palette d'animation contient 8 couleurs ..."
constexpr int ReduceNothingTitle = 51009;    // "Palette non réductible"
constexpr int ReduceCopying = 51010;         // "Reproduction de l'animation..."
constexpr int ReduceMeasuring = 51011;       // "Calcul du volume du fichier..."
constexpr int ReduceNoMemory = 51012;        // "Mémoire insuffisante pour réduire les palettes."
constexpr int ReduceStatus = 51013;          // "État..."
constexpr int ReduceCountLabel = 51014;      // "Couleurs :"
// SWF export and the HTML code dialog.
constexpr int BuildingFlashFile = 51550;  // "Building Flash File..."
constexpr int SwfTooManyFrames = 51551;   // "L’animation est trop longue pour un fichier SWF..."
constexpr int HtmlTitle = 51552;          // "Code HTML"
constexpr int HtmlFileName = 51553;       // "Nom de fichier :"
constexpr int HtmlLink = 51554;           // "Lien :"
constexpr int HtmlDescription = 51555;    // "Description :"
constexpr int HtmlAlt = 51556;            // "(ALT)"
constexpr int HtmlBorder = 51557;         // "Bordure :"
constexpr int HtmlCodeLabel = 51558;      // "Code HTML :"
constexpr int HtmlCopy = 51559;           // "Copier le code"
constexpr int HtmlClose = 51560;          // "Fermer"

// Save As dialog and its strip and individual-files panels.
constexpr int SaveChoiceLabel = 51250;           // "Sauvegarder comme :"
constexpr int StripOrientationLabel = 51251;     // "Orientation de la bande de film :"
constexpr int StripHorizontal = 51252;           // "Horizontal"
constexpr int StripVertical = 51253;             // "Vertical"
constexpr int StripCountLabel = 51254;           // "Nombre de bandes :"
constexpr int IndividualAllFrames = 51255;       // "Tous les cadres"
constexpr int IndividualSelectedFrames = 51256;  // "Seulement le(s) cadre(s) sélectionné(s)"
constexpr int IndividualBaseName = 51257;        // "Nom de base :"
constexpr int IndividualExamples = 51258;        // "Exemples :"
constexpr int IndividualNumberHint = 51259;      // "Les caractères « # » du nom de base ..."
constexpr int ChooserFolderType = 51260;         // "Dossier"
constexpr int ChooserFileType = 51261;           // "Fichier"
constexpr int ChooserFileTypeNamed = 51262;      // "Fichier %s"
constexpr int PasteBefore = 51200;               // "Coller avant" (strip menu over frames)
constexpr int PasteFrame = 51201;                // "Coller cadre" (strip menu over empty space)

// Strip import dialog and the individual-files writer.
constexpr int StripImportTitle = 51300;      // "Importer bande"
constexpr int StripFramesPerRow = 51301;     // "Cadres par rangée (horizontale) :"
constexpr int StripFramesPerColumn = 51302;  // "Cadres par colonne (verticale) :"
constexpr int StripRowByRow = 51303;         // "Sens horizontal"
constexpr int StripColumnByColumn = 51304;   // "Sens vertical"
constexpr int SavingFrames = 51305;          // "Saving frames..."

// Batch mode: help, messages and the animation description.
constexpr int BatchUsage = 51600;
constexpr int BatchHelpInput = 51601;
constexpr int BatchHelpList = 51602;
constexpr int BatchHelpOutput = 51603;
constexpr int BatchHelpOptimizeStored = 51604;
constexpr int BatchHelpResize = 51605;
constexpr int BatchHelpResizeMethod = 51606;
constexpr int BatchHelpScale = 51607;
constexpr int BatchHelpRotate = 51608;
constexpr int BatchHelpFlip = 51609;
constexpr int BatchHelpCrop = 51610;
constexpr int BatchHelpColors = 51611;
constexpr int BatchHelpDither = 51612;
constexpr int BatchHelpDelay = 51613;
constexpr int BatchHelpLoop = 51614;
constexpr int BatchHelpDelete = 51615;
constexpr int BatchHelpReverse = 51616;
constexpr int BatchHelpPingPong = 51617;
constexpr int BatchHelpUnoptimize = 51618;
constexpr int BatchHelpComment = 51619;
constexpr int BatchHelpOptimize = 51620;
constexpr int BatchHelpInfo = 51621;
constexpr int BatchHelpType = 51622;
constexpr int BatchHelpFrames = 51623;
constexpr int BatchHelpHelp = 51624;
constexpr int BatchHelpVersion = 51625;
constexpr int BatchHelpFrameLists = 51626;
constexpr int BatchHelpOptimizeNames = 51627;
constexpr int BatchMissingArgument = 51640;
constexpr int BatchBadValue = 51641;
constexpr int BatchNoDocument = 51642;
constexpr int BatchTooLarge = 51643;
constexpr int BatchCropOutside = 51644;
constexpr int BatchBadFrameList = 51645;
constexpr int BatchDeleteAll = 51646;
constexpr int BatchCommentTooLong = 51647;
constexpr int BatchVersion = 51650;
constexpr int InfoHeader = 51660;
constexpr int InfoScreen = 51661;
constexpr int InfoGlobalPalette = 51662;
constexpr int InfoNoGlobalPalette = 51663;
constexpr int InfoLoopForever = 51664;
constexpr int InfoPlays = 51665;
constexpr int InfoComment = 51666;
constexpr int InfoFrame = 51667;
constexpr int InfoFrameTiming = 51668;
constexpr int InfoDisposalNone = 51669;
constexpr int InfoDisposalLeave = 51670;
constexpr int InfoDisposalBackground = 51671;
constexpr int InfoDisposalPrevious = 51672;
constexpr int InfoDisposalReserved = 51673;
constexpr int InfoLocalPalette = 51674;
constexpr int InfoTransparent = 51675;
constexpr int InfoInterlaced = 51676;
constexpr int InfoTrueColour = 51677;
constexpr int InfoUntitled = 51678;

// PSD layer choice and the names of the layers written.
constexpr int PsdLayersTitle = 51350;           // "Support d'étages PSD"
constexpr int PsdLayersComposite = 51351;       // "Un cadre composite"
constexpr int PsdLayersAsFrames = 51352;        // "Étages comme de multiples cadres d'animation"
constexpr int PsdLayersOntoBackground = 51353;  // "Intégrer chaque étage à l'étage d'arrière-plan"
constexpr int PsdLayersKeepBackground = 51354;  // "Garder étage d'arrière-plan sous forme de cadre"
constexpr int PsdLayersOntoComposite = 51355;     // "Intégrer chaque étage à l'image composite"
constexpr int PsdLayersSeparate = 51356;          // "Ne pas intégrer: chaque étage est un cadre"
constexpr int PsdLayersKeepTransparency = 51357;  // "Garder l'arrière-plan transparent"
constexpr int PsdLayerName = 51358;               // "Cadre %d"
constexpr int AniDamaged =
    51400;  // "Erreur de lecture du curseur animé. Le fichier semble corrompu."
constexpr int HotSpotTitle = 51401;  // "Define Cursor HotSpot"
constexpr int HotSpotX = 51402;      // "x:"
constexpr int HotSpotY = 51403;      // "y:"

// AVI files and videos.
constexpr int FilterVideos = 51450;  // "Vidéos (*.mp4;*.m4v;*.mov;*.mkv;*.webm;*.apng)"
constexpr int AviNoCompression = 51451;
constexpr int AviVideo1Choice = 51452;
constexpr int AviRle8Choice = 51453;
constexpr int AviCustomChoice = 51454;
constexpr int AviIncludeAudio = 51455;
constexpr int AviBrowse = 51456;
constexpr int AviFixText = 51457;
constexpr int AviFixButton = 51458;
constexpr int InsertAudioTitle = 51459;
constexpr int FilterSupportedAudio = 51460;
constexpr int FilterWavFiles = 51461;
constexpr int FilterAviFilesEnglish = 51462;
constexpr int AviCompressorTitle = 51463;
constexpr int AviCompressorLabel = 51464;
constexpr int AviQualityLabel = 51465;
constexpr int AviKeyFrameLabel = 51466;
// LiveEdit and the choice of its image editor.
constexpr int EndLiveEditLabel = 51700;     // "Terminer la session LiveEdit"
constexpr int UndoCoEditAnimation = 51701;  // "Coédition de l’animation"
constexpr int CoEditorOther = 51702;        // "Autre programme..."
constexpr int CoEditorPrompt = 51703;       // "Éditeurs d’images installés :"
// More optimizer options.
constexpr int OptimizeChooseDisposal = 51800;   // "Choisir le mode de suppression de chaque cadre"
constexpr int OptimizeMinimalCodeSize = 51801;  // "Réduire la taille de code LZW de chaque cadre"
// Undo steps of the animation's own settings and of its comments.
constexpr int UndoAnimationProperties = 51960;  // "Changement des propriétés d’animation"
constexpr int UndoEditComments = 51961;         // "Modification des commentaires GIF"
// Buttons, palette loading and the AVI fix that cannot be made.
constexpr int ButtonContinue = 52400;        // "Continuer"
constexpr int PalLoad = 52401;               // "Charger..."
constexpr int PalLoadTitle = 52402;          // "Charger une palette"
constexpr int FilterPaletteSources = 52403;  // "Palettes et images (*.pal ...)"
constexpr int PalLoadNoPalette = 52404;      // "« %s » ne contient pas de palette."
constexpr int AviFixMixedTransparency = 52405;
constexpr int AviFixFailed = 52406;
constexpr int AviSaveComposited = 52407;  // "Sauvegarder l’animation telle qu’elle s’affiche..."
// Still images.
constexpr int BmpDamaged =
    51910;  // "Erreur lors de la lecture des données BMP. Le fichier semble..."
// Saving.
constexpr int CannotSaveExtension = 51900;  // "Les fichiers .%s peuvent être ouverts mais pas..."

}  // namespace lw::str
