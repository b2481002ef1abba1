#include "shell/command_table.h"

#include <algorithm>
#include <iterator>

#include "base/string_ids_ui.h"
#include "base/strings.h"
#include "shell/command_ids.h"
#include "shell/status_text.h"

namespace lw {

namespace {

using E = Enable;
using C = Check;

// Rows of the commands; the properties toolbar's own buttons take their label from their id.
constexpr CommandSpec Row(int id, int label, Enable rule, int pending = 0) {
  return {id, label, rule, false, C::None, 0, pending};
}
constexpr CommandSpec Checked(int id, int label, Enable rule, Check check, int param = 0) {
  return {id, label, rule, true, check, param, 0};
}

constexpr int kFormats = sid::PendingFormats;
constexpr int kClipboard = sid::PendingClipboard;
constexpr int kDialogs = sid::PendingDialogs;
constexpr int kColour = sid::PendingColour;
constexpr int kGeometry = sid::PendingGeometry;
constexpr int kLiveEdit = sid::PendingLiveEdit;

constexpr CommandSpec kCommands[] = {
    // Fichier
    Row(cmd::FileOpen, sid::LabelOpen, E::Always),
    Row(cmd::ImportAvi, sid::LabelImportAvi, E::Always, kFormats),
    Row(cmd::ImportBmp, sid::LabelImportBmp, E::Always, kFormats),
    Row(cmd::ImportJpeg, sid::LabelImportJpeg, E::Always, kFormats),
    Row(cmd::ImportStrip, sid::LabelImportStrip, E::Always, kFormats),
    Row(cmd::ImportPsd, sid::LabelImportPsd, E::Always, kFormats),
    Row(cmd::ImportPng, sid::LabelImportPng, E::Always, kFormats),
    Row(cmd::ImportIcon, sid::LabelImportIcon, E::Always, kFormats),
    Row(cmd::ImportCursor, sid::LabelImportCursor, E::Always, kFormats),
    Row(cmd::ImportAnimatedCursor, sid::LabelImportAnimatedCursor, E::Always, kFormats),
    Row(cmd::InsertFrames, sid::LabelInsertFrames, E::Always),
    Row(cmd::MergeWith, sid::LabelMergeWith, E::Frames),
    Row(cmd::FileSave, sid::LabelSave, E::Modified),
    Row(cmd::FileSaveAs, sid::LabelSaveAs, E::Document),
    Row(cmd::SaveGifAs, sid::LabelSaveGifAs, E::Frames),
    Row(cmd::RevertToSaved, sid::LabelRevert, E::Revertible),
    Row(cmd::NewAnimation, sid::LabelNew, E::Document),
    Row(cmd::HtmlCode, sid::LabelHtmlCode, E::Document, kFormats),
    Row(cmd::Exit, sid::LabelExit, E::Always),
    // Édition
    Row(cmd::Undo, sid::LabelUndo, E::Undo),
    Row(cmd::Redo, sid::LabelRedo, E::Redo),
    Row(cmd::Cut, sid::LabelCut, E::Current, kClipboard),
    Row(cmd::Copy, sid::LabelCopy, E::Current, kClipboard),
    Row(cmd::Paste, sid::LabelPaste, E::Clipboard, kClipboard),
    Row(cmd::Delete, sid::LabelDelete, E::Current),
    Row(cmd::SelectAll, sid::LabelSelectAll, E::Document),
    Row(cmd::InvertSelection, sid::LabelInvertSelection, E::Document),
    Row(cmd::Preferences, sid::LabelPreferences, E::Always),
    // Cadre
    Row(cmd::FrameProperties, sid::LabelProperties, E::Current, kDialogs),
    Row(cmd::GlobalFrameProperties, sid::LabelGlobalFrameProperties, E::Frames, kDialogs),
    Row(cmd::EditLocalPalette, sid::LabelLocalPalette, E::LocalPalette, kColour),
    Row(cmd::MoveCrop, sid::LabelMoveCrop, E::Current, kGeometry),
    Row(cmd::ResizeFrames, sid::LabelResizeFrames, E::Current, kGeometry),
    Row(cmd::FrameRotate90Cw, sid::LabelRotate90Cw, E::Current, kGeometry),
    Row(cmd::FrameRotate180, sid::LabelRotate180, E::Current, kGeometry),
    Row(cmd::FrameRotate90Ccw, sid::LabelRotate90Ccw, E::Current, kGeometry),
    Row(cmd::FrameFlipHorizontal, sid::LabelFlipHorizontal, E::Current, kGeometry),
    Row(cmd::FrameFlipVertical, sid::LabelFlipVertical, E::Current, kGeometry),
    Row(cmd::EditPixels, sid::LabelEditPixels, E::Current, kColour),
    Row(cmd::LiveEditFrame, 40363, E::Current, kLiveEdit),
    // Animation
    Row(cmd::AnimationProperties, sid::LabelProperties, E::Document, kDialogs),
    Row(cmd::EditGlobalPalette, sid::LabelGlobalPalette, E::GlobalPalette, kColour),
    Row(cmd::ResizeAnimation, sid::LabelResizeAnimation, E::Document, kGeometry),
    Row(cmd::AnimationRotate90Cw, sid::LabelRotate90Cw, E::Document, kGeometry),
    Row(cmd::AnimationRotate180, sid::LabelRotate180, E::Document, kGeometry),
    Row(cmd::AnimationRotate90Ccw, sid::LabelRotate90Ccw, E::Document, kGeometry),
    Row(cmd::AnimationFlipHorizontal, sid::LabelFlipHorizontal, E::Document, kGeometry),
    Row(cmd::AnimationFlipVertical, sid::LabelFlipVertical, E::Document, kGeometry),
    Row(cmd::LiveEditAnimation, sid::LabelLiveEditAnimation, E::CoEditAnimation, kLiveEdit),
    Row(cmd::Duration, sid::LabelDuration, E::Frames),
    Row(cmd::ReduceColours, sid::LabelReduceColours, E::Frames, kColour),
    Row(cmd::Optimize, sid::LabelOptimize, E::Document),
    Row(cmd::Unoptimize, sid::LabelUnoptimize, E::Document),
    Row(cmd::ReduceFrameCount, sid::LabelReduceFrameCount, E::TwoFrames, kDialogs),
    Row(cmd::ReverseOrder, sid::LabelReverseOrder, E::TwoFrames),
    Row(cmd::PingPong, sid::LabelPingPong, E::TwoFrames),
    Row(cmd::CropAnimation, sid::LabelCropAnimation, E::Document, kGeometry),
    Row(cmd::GifComments, sid::LabelGifComments, E::Document, kDialogs),
    // Affichage
    Checked(cmd::Preview, sid::LabelPreview, E::Frames, C::PreviewOpen),
    Row(cmd::StopPreview, sid::LabelStopPreview, E::PreviewOpen),
    Row(cmd::PreviewSelected, sid::LabelPreviewSelected, E::Current),
    Checked(cmd::ShowPropertiesBar, sid::LabelShowPropertiesBar, E::Always, C::PropertiesBarShown),
    Checked(cmd::FrameTips, sid::LabelFrameTips, E::Always, C::FrameTips),
    Row(cmd::ZoomIn, sid::LabelZoomIn, E::ZoomIn),
    Row(cmd::ZoomOut, sid::LabelZoomOut, E::ZoomOut),
    Row(cmd::ActualSize, sid::LabelActualSize, E::ActualSize),
    Checked(cmd::ZoomLevelFirst + 0, sid::LabelZoomLevelFirst + 0, E::Always, C::ZoomLevel, -4),
    Checked(cmd::ZoomLevelFirst + 1, sid::LabelZoomLevelFirst + 1, E::Always, C::ZoomLevel, -3),
    Checked(cmd::ZoomLevelFirst + 2, sid::LabelZoomLevelFirst + 2, E::Always, C::ZoomLevel, -2),
    Checked(cmd::ZoomLevelFirst + 3, sid::LabelZoomLevelFirst + 3, E::Always, C::ZoomLevel, -1),
    Checked(cmd::ZoomLevelFirst + 4, sid::LabelZoomLevelFirst + 4, E::Always, C::ZoomLevel, 0),
    Checked(cmd::ZoomLevelFirst + 5, sid::LabelZoomLevelFirst + 5, E::Always, C::ZoomLevel, 1),
    Checked(cmd::ZoomLevelFirst + 6, sid::LabelZoomLevelFirst + 6, E::Always, C::ZoomLevel, 2),
    Checked(cmd::ZoomLevelFirst + 7, sid::LabelZoomLevelFirst + 7, E::Always, C::ZoomLevel, 3),
    Checked(cmd::OrientationAuto, sid::LabelOrientationAuto, E::Always, C::Orientation, 0),
    Checked(cmd::OrientationHorizontal, sid::LabelOrientationHorizontal, E::Always, C::Orientation, 0x1002),
    Checked(cmd::OrientationVertical, sid::LabelOrientationVertical, E::Always, C::Orientation, 0x1001),
    Checked(cmd::TransparencyAsWindow, sid::LabelTransparencyAsWindow, E::Always, C::TransparencyMode, 0),
    Checked(cmd::TransparencyAsFrameColour, sid::LabelTransparencyAsFrameColour, E::Always,
            C::TransparencyMode, 1),
    Checked(cmd::TransparencyAsCustom, sid::LabelTransparencyAsCustom, E::Always, C::TransparencyMode, 2),
    // The download-time entries take their text from the size when the menu opens.
    Checked(cmd::DownloadTimeFirst + 0, 0, E::Always, C::ModemSpeed, 0),
    Checked(cmd::DownloadTimeFirst + 1, 0, E::Always, C::ModemSpeed, 1),
    Checked(cmd::DownloadTimeFirst + 2, 0, E::Always, C::ModemSpeed, 2),
    Checked(cmd::DownloadTimeFirst + 3, 0, E::Always, C::ModemSpeed, 3),
    Checked(cmd::DownloadTimeFirst + 4, 0, E::Always, C::ModemSpeed, 4),
    Checked(cmd::DownloadTimeFirst + 5, 0, E::Always, C::ModemSpeed, 5),
    // Aide
    Row(cmd::HelpContents, sid::LabelHelpContents, E::Always),
    Row(cmd::Tutorial, sid::LabelTutorial, E::Always),
    Row(cmd::About, sid::LabelAbout, E::Always),
    // The properties toolbar's own buttons; their view checks them from the frame shown.
    {cmd::ToggleTransparency, cmd::ToggleTransparency, E::OneFrame, true, C::None, 0, 0},
    {cmd::ChooseTransparentColour, cmd::ChooseTransparentColour, E::OneFrame, false, C::None, 0, kColour},
    {cmd::LocalPalettePresent, cmd::LocalPalettePresent, E::OneFrameLocalPalette, true, C::None, 0, kColour},
    {cmd::DisposalLeave, cmd::DisposalLeave, E::OneFrame, true, C::None, 0, 0},
    {cmd::DisposalRestoreBackground, cmd::DisposalRestoreBackground, E::OneFrame, true, C::None, 0, 0},
    {cmd::DisposalRestorePrevious, cmd::DisposalRestorePrevious, E::OneFrame, true, C::None, 0, 0},
    {cmd::Has24BitData, cmd::Has24BitData, E::OneFrameTrueColour, true, C::None, 0, 0},
};
static_assert(cmd::DownloadTimeFirst + ModemSpeedCount - 1 <= cmd::DownloadTimeLast);

constexpr bool UniqueIds() {
  for (std::size_t i = 0; i < std::size(kCommands); ++i)
    for (std::size_t j = i + 1; j < std::size(kCommands); ++j)
      if (kCommands[i].id == kCommands[j].id) return false;
  return true;
}
static_assert(UniqueIds(), "a command id has two rows");

constexpr MenuItem Cmd(int id) { return {Item::Command, id, E::Always}; }
constexpr MenuItem Sep() { return {Item::Separator, 0, E::Always}; }
constexpr MenuItem Sub(int titleId, Enable rule = E::Always) { return {Item::Submenu, titleId, rule}; }
constexpr MenuItem End() { return {Item::End, 0, E::Always}; }

constexpr MenuItem kMainMenu[] = {
    Sub(sid::MenuFile),
      Cmd(cmd::FileOpen),
      Sub(sid::MenuImport),
        Cmd(cmd::ImportAvi), Cmd(cmd::ImportBmp), Cmd(cmd::ImportJpeg), Cmd(cmd::ImportStrip),
        Cmd(cmd::ImportPsd), Cmd(cmd::ImportPng), Cmd(cmd::ImportIcon), Cmd(cmd::ImportCursor),
        Cmd(cmd::ImportAnimatedCursor),
      End(),
      Cmd(cmd::InsertFrames), Cmd(cmd::MergeWith), Sep(),
      Cmd(cmd::FileSave), Cmd(cmd::FileSaveAs), Cmd(cmd::SaveGifAs), Cmd(cmd::RevertToSaved), Sep(),
      Cmd(cmd::NewAnimation), Cmd(cmd::HtmlCode), Sep(),
      {Item::RecentFiles, 0, E::Always},
      Cmd(cmd::Exit),
    End(),
    Sub(sid::MenuEdit),
      Cmd(cmd::Undo), Cmd(cmd::Redo), Sep(),
      Cmd(cmd::Cut), Cmd(cmd::Copy), Cmd(cmd::Paste), Cmd(cmd::Delete), Sep(),
      Cmd(cmd::SelectAll), Cmd(cmd::InvertSelection), Sep(),
      Cmd(cmd::Preferences),
    End(),
    Sub(sid::MenuFrame),
      Cmd(cmd::FrameProperties), Cmd(cmd::GlobalFrameProperties), Cmd(cmd::EditLocalPalette), Sep(),
      Cmd(cmd::MoveCrop), Cmd(cmd::ResizeFrames),
      Sub(sid::MenuFrameRotate, E::Current),
        Cmd(cmd::FrameRotate90Cw), Cmd(cmd::FrameRotate180), Cmd(cmd::FrameRotate90Ccw), Sep(),
        Cmd(cmd::FrameFlipHorizontal), Cmd(cmd::FrameFlipVertical),
      End(),
      Sep(),
      Cmd(cmd::EditPixels), Cmd(cmd::LiveEditFrame),
    End(),
    Sub(sid::MenuAnimation),
      Cmd(cmd::AnimationProperties), Cmd(cmd::EditGlobalPalette), Cmd(cmd::ResizeAnimation),
      Sub(sid::MenuAnimationRotate, E::Document),
        Cmd(cmd::AnimationRotate90Cw), Cmd(cmd::AnimationRotate180), Cmd(cmd::AnimationRotate90Ccw), Sep(),
        Cmd(cmd::AnimationFlipHorizontal), Cmd(cmd::AnimationFlipVertical),
      End(),
      Cmd(cmd::LiveEditAnimation), Sep(),
      Cmd(cmd::Duration), Cmd(cmd::ReduceColours), Cmd(cmd::Optimize), Cmd(cmd::Unoptimize),
      Sub(sid::MenuReorder, E::Document),
        Cmd(cmd::ReduceFrameCount), Cmd(cmd::ReverseOrder), Cmd(cmd::PingPong),
      End(),
      Cmd(cmd::CropAnimation), Cmd(cmd::GifComments),
    End(),
    Sub(sid::MenuView),
      Cmd(cmd::Preview), Cmd(cmd::PreviewSelected), Sep(),
      Cmd(cmd::ShowPropertiesBar), Cmd(cmd::FrameTips), Sep(),
      Cmd(cmd::ZoomIn), Cmd(cmd::ZoomOut), Cmd(cmd::ActualSize),
      Sub(sid::MenuZoom),
        Cmd(cmd::ZoomLevelFirst + 0), Cmd(cmd::ZoomLevelFirst + 1), Cmd(cmd::ZoomLevelFirst + 2),
        Cmd(cmd::ZoomLevelFirst + 3), Cmd(cmd::ZoomLevelFirst + 4), Cmd(cmd::ZoomLevelFirst + 5),
        Cmd(cmd::ZoomLevelFirst + 6), Cmd(cmd::ZoomLevelFirst + 7),
      End(),
      Sub(sid::MenuOrientation),
        Cmd(cmd::OrientationAuto), Cmd(cmd::OrientationHorizontal), Cmd(cmd::OrientationVertical),
      End(),
      Sub(sid::MenuTransparency),
        Cmd(cmd::TransparencyAsWindow), Cmd(cmd::TransparencyAsFrameColour), Cmd(cmd::TransparencyAsCustom),
      End(),
      Sub(sid::MenuDownloadTime),
        Cmd(cmd::DownloadTimeFirst + 0), Cmd(cmd::DownloadTimeFirst + 1), Cmd(cmd::DownloadTimeFirst + 2),
        Cmd(cmd::DownloadTimeFirst + 3), Cmd(cmd::DownloadTimeFirst + 4), Cmd(cmd::DownloadTimeFirst + 5),
      End(),
    End(),
    Sub(sid::MenuHelp),
      Cmd(cmd::HelpContents), Cmd(cmd::Tutorial), Sep(), Cmd(cmd::About),
    End(),
};

constexpr MenuItem kMainToolbar[] = {
    Cmd(cmd::FileOpen), Cmd(cmd::InsertFrames), Cmd(cmd::FileSave), Cmd(cmd::NewAnimation), Sep(),
    Cmd(cmd::Cut), Cmd(cmd::Copy), Cmd(cmd::Paste), Cmd(cmd::Delete), Sep(),
    Cmd(cmd::Undo), Cmd(cmd::Redo), Sep(),
    Cmd(cmd::Preview), Cmd(cmd::StopPreview), Sep(),
    Cmd(cmd::Duration), Cmd(cmd::Optimize), Cmd(cmd::ReduceColours), Sep(),
    Cmd(cmd::ZoomIn), Cmd(cmd::ZoomOut), Cmd(cmd::ActualSize), Sep(),
    Cmd(cmd::FrameTips), Sep(),
    Cmd(cmd::HelpContents), Sep(),
};

constexpr MenuItem kFrameMenuSelected[] = {
    Cmd(cmd::Copy), Cmd(cmd::Cut), Cmd(cmd::Delete), Cmd(cmd::Paste), Sep(),
    Cmd(cmd::FrameProperties), Sep(),
    Sub(sid::MenuFrameRotate),
      Cmd(cmd::FrameRotate90Cw), Cmd(cmd::FrameRotate180), Cmd(cmd::FrameRotate90Ccw),
      Cmd(cmd::FrameFlipHorizontal), Cmd(cmd::FrameFlipVertical),
    End(),
    Cmd(cmd::MoveCrop), Cmd(cmd::ResizeFrames), Cmd(cmd::EditPixels), Cmd(cmd::LiveEditFrame),
};

constexpr MenuItem kFrameMenuEmpty[] = {
    Cmd(cmd::Paste), Sep(), Cmd(cmd::AnimationProperties), Cmd(cmd::GlobalFrameProperties),
};

// Every Command item of a layout has a row.
constexpr bool Listed(std::span<const MenuItem> items) {
  for (const MenuItem& item : items) {
    if (item.kind != Item::Command) continue;
    bool found = false;
    for (const CommandSpec& c : kCommands) found = found || c.id == item.id;
    if (!found) return false;
  }
  return true;
}
static_assert(Listed(kMainMenu) && Listed(kMainToolbar) && Listed(kFrameMenuSelected) &&
              Listed(kFrameMenuEmpty));

}  // namespace

bool CommandEnabled(Enable rule, const DocumentFacts& f) {
  bool current = f.document && f.currentFrame >= 0 && f.currentFrame < f.frameCount;
  bool one = current && f.selectedCount < 2;
  switch (rule) {
    case E::Always: return true;
    case E::Document: return f.document;
    case E::Frames: return f.document && f.frameCount > 0;
    case E::Current: return current;
    case E::TwoFrames: return f.document && f.frameCount >= 2;
    case E::Modified: return f.document && f.modified;
    case E::Revertible: return f.document && f.modified && f.hasPath;
    case E::CoEditAnimation: return f.document && f.coEditorTakesLayers;
    case E::LocalPalette: return current && f.currentHasLocalPalette;
    case E::GlobalPalette: return f.document && f.globalPalette;
    case E::Clipboard: return f.clipboardHasFrames;
    case E::PreviewOpen: return f.previewOpen;
    case E::ZoomIn: return f.document && f.zoomLevel < 3;
    case E::ZoomOut: return f.document && f.zoomLevel > -4;
    case E::ActualSize: return f.document && f.zoomLevel != 0;
    case E::Undo: return f.document && f.canUndo;
    case E::Redo: return f.document && f.canRedo;
    case E::OneFrame: return one;
    case E::OneFrameTrueColour: return one && f.keepTrueColour;
    case E::OneFrameLocalPalette: return one && f.currentHasLocalPalette;
  }
  return false;
}

bool CommandAvailable(const CommandSpec& spec, const DocumentFacts& facts) {
  return spec.pendingHintId == 0 && CommandEnabled(spec.rule, facts);
}

bool CommandChecked(const CommandSpec& spec, const DocumentFacts& f) {
  switch (spec.check) {
    case C::None: return false;
    case C::PreviewOpen: return f.previewOpen;
    case C::PropertiesBarShown: return f.propertiesBarShown;
    case C::FrameTips: return f.frameTips;
    case C::ZoomLevel: return f.zoomLevel == spec.param;
    case C::Orientation: return f.orientation == spec.param;
    case C::TransparencyMode: return f.transparencyMode == spec.param;
    case C::ModemSpeed: return f.modemSpeed == spec.param;
  }
  return false;
}

std::span<const CommandSpec> CommandTable() { return kCommands; }

const CommandSpec* FindCommand(int id) {
  for (const CommandSpec& c : kCommands)
    if (c.id == id) return &c;
  return nullptr;
}

std::string CommandLabel(int id) {
  const CommandSpec* spec = FindCommand(id);
  return spec && spec->labelId ? ResText(spec->labelId) : std::string();
}

std::string CommandTooltip(int id) {
  std::string text = ResText(id);
  if (text.empty()) {
    for (char c : CommandLabel(id))
      if (c != '&') text += c;
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    text = begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
    if (text.size() >= 3 && text.compare(text.size() - 3, 3, "...") == 0) text.resize(text.size() - 3);
  }
  const CommandSpec* spec = FindCommand(id);
  if (spec && spec->pendingHintId) {
    std::string format = ResText(sid::TooltipWithHint);
    std::string hint = ResText(spec->pendingHintId);
    size_t first = format.find("%s");
    size_t second = first == std::string::npos ? first : format.find("%s", first + 2);
    if (second != std::string::npos)
      text = format.substr(0, first) + text + format.substr(first + 2, second - first - 2) + hint +
             format.substr(second + 2);
  }
  return text;
}

std::span<const MenuItem> MainMenuLayout() { return kMainMenu; }
std::span<const MenuItem> MainToolbarLayout() { return kMainToolbar; }
std::span<const MenuItem> FrameMenuLayout(bool anySelected) {
  if (anySelected) return kFrameMenuSelected;
  return kFrameMenuEmpty;
}

}  // namespace lw
