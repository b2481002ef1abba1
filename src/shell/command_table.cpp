#include "shell/command_table.h"

#include <algorithm>
#include <iterator>

#include "base/string_ids.h"
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

constexpr CommandSpec kCommands[] = {
    // Fichier
    Row(cmd::FileOpen, str::LabelOpen, E::Always),
    Row(cmd::ImportAvi, str::LabelImportAvi, E::Always),
    Row(cmd::ImportBmp, str::LabelImportBmp, E::Always),
    Row(cmd::ImportJpeg, str::LabelImportJpeg, E::Always),
    Row(cmd::ImportStrip, str::LabelImportStrip, E::Always),
    Row(cmd::ImportPsd, str::LabelImportPsd, E::Always),
    Row(cmd::ImportPng, str::LabelImportPng, E::Always),
    Row(cmd::ImportIcon, str::LabelImportIcon, E::Always),
    Row(cmd::ImportCursor, str::LabelImportCursor, E::Always),
    Row(cmd::ImportAnimatedCursor, str::LabelImportAnimatedCursor, E::Always),
    Row(cmd::ImportVideo, str::LabelImportVideo, E::Always),
    Row(cmd::ImportWebp, str::LabelImportWebp, E::Always),
    Row(cmd::ImportApng, str::LabelImportApng, E::Always),
    Row(cmd::InsertFrames, str::LabelInsertFrames, E::Always),
    Row(cmd::MergeWith, str::LabelMergeWith, E::Frames),
    Row(cmd::RecordScreen, str::LabelRecordScreen, E::Always),
    Row(cmd::FileSave, str::LabelSave, E::Modified),
    Row(cmd::FileSaveAs, str::LabelSaveAs, E::Document),
    Row(cmd::SaveGifAs, str::LabelSaveGifAs, E::Frames),
    Row(cmd::RevertToSaved, str::LabelRevert, E::Revertible),
    Row(cmd::NewAnimation, str::LabelNew, E::Document),
    Row(cmd::HtmlCode, str::LabelHtmlCode, E::Document),
    Row(cmd::Exit, str::LabelExit, E::Always),
    // Édition
    Row(cmd::Undo, str::LabelUndo, E::Undo),
    Row(cmd::Redo, str::LabelRedo, E::Redo),
    Row(cmd::Cut, str::LabelCut, E::Current),
    Row(cmd::Copy, str::LabelCopy, E::Current),
    Row(cmd::Paste, str::LabelPaste, E::Clipboard),
    Row(cmd::Delete, str::LabelDelete, E::Current),
    Row(cmd::SelectAll, str::LabelSelectAll, E::Document),
    Row(cmd::InvertSelection, str::LabelInvertSelection, E::Document),
    Row(cmd::Preferences, str::LabelPreferences, E::Always),
    // Cadre
    Row(cmd::FrameProperties, str::LabelProperties, E::Current),
    Row(cmd::GlobalFrameProperties, str::LabelGlobalFrameProperties, E::Frames),
    Row(cmd::EditLocalPalette, str::LabelLocalPalette, E::LocalPalette),
    Row(cmd::MoveCrop, str::LabelMoveCrop, E::Current),
    Row(cmd::ResizeFrames, str::LabelResizeFrames, E::Current),
    Row(cmd::FrameRotate90Cw, str::LabelRotate90Cw, E::Current),
    Row(cmd::FrameRotate180, str::LabelRotate180, E::Current),
    Row(cmd::FrameRotate90Ccw, str::LabelRotate90Ccw, E::Current),
    Row(cmd::FrameFlipHorizontal, str::LabelFlipHorizontal, E::Current),
    Row(cmd::FrameFlipVertical, str::LabelFlipVertical, E::Current),
    Row(cmd::EditPixels, str::LabelEditPixels, E::Current),
    Row(cmd::LiveEditFrame, str::LiveEditWithImageEditor, E::Current),
    Row(cmd::EndLiveEdit, str::EndLiveEditLabel, E::LiveEditSession),
    Row(cmd::FrameAddText, str::LabelAddText, E::Current),
    Row(cmd::FrameAddImage, str::LabelAddImage, E::Current),
    // Animation
    Row(cmd::AnimationProperties, str::LabelProperties, E::Document),
    Row(cmd::EditGlobalPalette, str::LabelGlobalPalette, E::GlobalPalette),
    Row(cmd::ResizeAnimation, str::LabelResizeAnimation, E::Document),
    Row(cmd::AnimationRotate90Cw, str::LabelRotate90Cw, E::Document),
    Row(cmd::AnimationRotate180, str::LabelRotate180, E::Document),
    Row(cmd::AnimationRotate90Ccw, str::LabelRotate90Ccw, E::Document),
    Row(cmd::AnimationFlipHorizontal, str::LabelFlipHorizontal, E::Document),
    Row(cmd::AnimationFlipVertical, str::LabelFlipVertical, E::Document),
    Row(cmd::LiveEditAnimation, str::LabelLiveEditAnimation, E::CoEditAnimation),
    Row(cmd::Duration, str::LabelDuration, E::Frames),
    Row(cmd::ReduceColours, str::LabelReduceColours, E::Frames, 0),
    Row(cmd::Optimize, str::LabelOptimize, E::Document),
    Row(cmd::Unoptimize, str::LabelUnoptimize, E::Document),
    Row(cmd::ReduceFrameCount, str::LabelReduceFrameCount, E::TwoFrames),
    Row(cmd::ReverseOrder, str::LabelReverseOrder, E::TwoFrames),
    Row(cmd::PingPong, str::LabelPingPong, E::TwoFrames),
    Row(cmd::CropAnimation, str::LabelCropAnimation, E::Document),
    Row(cmd::GifComments, str::LabelGifComments, E::Document),
    Row(cmd::AnimationAddText, str::LabelAddText, E::Frames),
    Row(cmd::AnimationAddImage, str::LabelAddImage, E::Frames),
    // Affichage
    Checked(cmd::Preview, str::LabelPreview, E::Frames, C::PreviewOpen),
    Row(cmd::StopPreview, str::LabelStopPreview, E::PreviewOpen),
    Row(cmd::PreviewSelected, str::LabelPreviewSelected, E::Current),
    Checked(cmd::ShowPropertiesBar, str::LabelShowPropertiesBar, E::Always, C::PropertiesBarShown),
    Checked(cmd::FrameTips, str::LabelFrameTips, E::Always, C::FrameTips),
    Row(cmd::ZoomIn, str::LabelZoomIn, E::ZoomIn),
    Row(cmd::ZoomOut, str::LabelZoomOut, E::ZoomOut),
    Row(cmd::ActualSize, str::LabelActualSize, E::ActualSize),
    Checked(cmd::ZoomLevelFirst + 0, str::LabelZoomLevelFirst + 0, E::Always, C::ZoomLevel, -4),
    Checked(cmd::ZoomLevelFirst + 1, str::LabelZoomLevelFirst + 1, E::Always, C::ZoomLevel, -3),
    Checked(cmd::ZoomLevelFirst + 2, str::LabelZoomLevelFirst + 2, E::Always, C::ZoomLevel, -2),
    Checked(cmd::ZoomLevelFirst + 3, str::LabelZoomLevelFirst + 3, E::Always, C::ZoomLevel, -1),
    Checked(cmd::ZoomLevelFirst + 4, str::LabelZoomLevelFirst + 4, E::Always, C::ZoomLevel, 0),
    Checked(cmd::ZoomLevelFirst + 5, str::LabelZoomLevelFirst + 5, E::Always, C::ZoomLevel, 1),
    Checked(cmd::ZoomLevelFirst + 6, str::LabelZoomLevelFirst + 6, E::Always, C::ZoomLevel, 2),
    Checked(cmd::ZoomLevelFirst + 7, str::LabelZoomLevelFirst + 7, E::Always, C::ZoomLevel, 3),
    Checked(cmd::OrientationAuto, str::LabelOrientationAuto, E::Always, C::Orientation, 0),
    Checked(cmd::OrientationHorizontal, str::LabelOrientationHorizontal, E::Always, C::Orientation,
            0x1002),
    Checked(cmd::OrientationVertical, str::LabelOrientationVertical, E::Always, C::Orientation,
            0x1001),
    Checked(cmd::TransparencyAsWindow, str::LabelTransparencyAsWindow, E::Always,
            C::TransparencyMode, 0),
    Checked(cmd::TransparencyAsFrameColour, str::LabelTransparencyAsFrameColour, E::Always,
            C::TransparencyMode, 1),
    Checked(cmd::TransparencyAsCustom, str::LabelTransparencyAsCustom, E::Always,
            C::TransparencyMode, 2),
    // The download-time entries take their text from the size when the menu opens.
    Checked(cmd::DownloadTimeFirst + 0, 0, E::Always, C::ModemSpeed, 0),
    Checked(cmd::DownloadTimeFirst + 1, 0, E::Always, C::ModemSpeed, 1),
    Checked(cmd::DownloadTimeFirst + 2, 0, E::Always, C::ModemSpeed, 2),
    Checked(cmd::DownloadTimeFirst + 3, 0, E::Always, C::ModemSpeed, 3),
    Checked(cmd::DownloadTimeFirst + 4, 0, E::Always, C::ModemSpeed, 4),
    Checked(cmd::DownloadTimeFirst + 5, 0, E::Always, C::ModemSpeed, 5),
    // Aide
    Row(cmd::HelpContents, str::LabelHelpContents, E::Always),
    Row(cmd::Tutorial, str::LabelTutorial, E::Always),
    Row(cmd::About, str::LabelAbout, E::Always),
    // The properties toolbar's own buttons; their view checks them from the frame shown.
    {cmd::ToggleTransparency, cmd::ToggleTransparency, E::OneFrame, true, C::None, 0, 0},
    {cmd::ChooseTransparentColour, cmd::ChooseTransparentColour, E::OneFrame, false, C::None, 0, 0},
    {cmd::LocalPalettePresent, cmd::LocalPalettePresent, E::OneFrameLocalPalette, true, C::None, 0,
     0},
    {cmd::DisposalLeave, cmd::DisposalLeave, E::OneFrame, true, C::None, 0, 0},
    {cmd::DisposalRestoreBackground, cmd::DisposalRestoreBackground, E::OneFrame, true, C::None, 0,
     0},
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
constexpr MenuItem Sub(int titleId, Enable rule = E::Always) {
  return {Item::Submenu, titleId, rule};
}
constexpr MenuItem End() { return {Item::End, 0, E::Always}; }

constexpr MenuItem kMainMenu[] = {
    Sub(str::MenuFile),
    Cmd(cmd::FileOpen),
    Sub(str::MenuImport),
    Cmd(cmd::ImportAvi),
    Cmd(cmd::ImportBmp),
    Cmd(cmd::ImportJpeg),
    Cmd(cmd::ImportStrip),
    Cmd(cmd::ImportPsd),
    Cmd(cmd::ImportPng),
    Cmd(cmd::ImportIcon),
    Cmd(cmd::ImportCursor),
    Cmd(cmd::ImportAnimatedCursor),
    Cmd(cmd::ImportVideo),
    Cmd(cmd::ImportWebp),
    Cmd(cmd::ImportApng),
    End(),
    Cmd(cmd::InsertFrames),
    Cmd(cmd::MergeWith),
    Cmd(cmd::RecordScreen),
    Sep(),
    Cmd(cmd::FileSave),
    Cmd(cmd::FileSaveAs),
    Cmd(cmd::SaveGifAs),
    Cmd(cmd::RevertToSaved),
    Sep(),
    Cmd(cmd::NewAnimation),
    Cmd(cmd::HtmlCode),
    Sep(),
    {Item::RecentFiles, 0, E::Always},
    Cmd(cmd::Exit),
    End(),
    Sub(str::MenuEdit),
    Cmd(cmd::Undo),
    Cmd(cmd::Redo),
    Sep(),
    Cmd(cmd::Cut),
    Cmd(cmd::Copy),
    Cmd(cmd::Paste),
    Cmd(cmd::Delete),
    Sep(),
    Cmd(cmd::SelectAll),
    Cmd(cmd::InvertSelection),
    Sep(),
    Cmd(cmd::Preferences),
    End(),
    Sub(str::MenuFrame),
    Cmd(cmd::FrameProperties),
    Cmd(cmd::GlobalFrameProperties),
    Cmd(cmd::EditLocalPalette),
    Sep(),
    Cmd(cmd::MoveCrop),
    Cmd(cmd::ResizeFrames),
    Sub(str::MenuFrameRotate, E::Current),
    Cmd(cmd::FrameRotate90Cw),
    Cmd(cmd::FrameRotate180),
    Cmd(cmd::FrameRotate90Ccw),
    Sep(),
    Cmd(cmd::FrameFlipHorizontal),
    Cmd(cmd::FrameFlipVertical),
    End(),
    Sep(),
    Cmd(cmd::EditPixels),
    Cmd(cmd::FrameAddText),
    Cmd(cmd::FrameAddImage),
    Cmd(cmd::LiveEditFrame),
    Cmd(cmd::EndLiveEdit),
    End(),
    Sub(str::MenuAnimation),
    Cmd(cmd::AnimationProperties),
    Cmd(cmd::EditGlobalPalette),
    Cmd(cmd::ResizeAnimation),
    Sub(str::MenuAnimationRotate, E::Document),
    Cmd(cmd::AnimationRotate90Cw),
    Cmd(cmd::AnimationRotate180),
    Cmd(cmd::AnimationRotate90Ccw),
    Sep(),
    Cmd(cmd::AnimationFlipHorizontal),
    Cmd(cmd::AnimationFlipVertical),
    End(),
    Cmd(cmd::LiveEditAnimation),
    Sep(),
    Cmd(cmd::Duration),
    Cmd(cmd::ReduceColours),
    Cmd(cmd::Optimize),
    Cmd(cmd::Unoptimize),
    Sub(str::MenuReorder, E::Document),
    Cmd(cmd::ReduceFrameCount),
    Cmd(cmd::ReverseOrder),
    Cmd(cmd::PingPong),
    End(),
    Cmd(cmd::CropAnimation),
    Cmd(cmd::GifComments),
    Sep(),
    Cmd(cmd::AnimationAddText),
    Cmd(cmd::AnimationAddImage),
    End(),
    Sub(str::MenuView),
    Cmd(cmd::Preview),
    Cmd(cmd::PreviewSelected),
    Sep(),
    Cmd(cmd::ShowPropertiesBar),
    Cmd(cmd::FrameTips),
    Sep(),
    Cmd(cmd::ZoomIn),
    Cmd(cmd::ZoomOut),
    Cmd(cmd::ActualSize),
    Sub(str::MenuZoom),
    Cmd(cmd::ZoomLevelFirst + 0),
    Cmd(cmd::ZoomLevelFirst + 1),
    Cmd(cmd::ZoomLevelFirst + 2),
    Cmd(cmd::ZoomLevelFirst + 3),
    Cmd(cmd::ZoomLevelFirst + 4),
    Cmd(cmd::ZoomLevelFirst + 5),
    Cmd(cmd::ZoomLevelFirst + 6),
    Cmd(cmd::ZoomLevelFirst + 7),
    End(),
    Sub(str::MenuOrientation),
    Cmd(cmd::OrientationAuto),
    Cmd(cmd::OrientationHorizontal),
    Cmd(cmd::OrientationVertical),
    End(),
    Sub(str::MenuTransparency),
    Cmd(cmd::TransparencyAsWindow),
    Cmd(cmd::TransparencyAsFrameColour),
    Cmd(cmd::TransparencyAsCustom),
    End(),
    Sub(str::MenuDownloadTime),
    Cmd(cmd::DownloadTimeFirst + 0),
    Cmd(cmd::DownloadTimeFirst + 1),
    Cmd(cmd::DownloadTimeFirst + 2),
    Cmd(cmd::DownloadTimeFirst + 3),
    Cmd(cmd::DownloadTimeFirst + 4),
    Cmd(cmd::DownloadTimeFirst + 5),
    End(),
    End(),
    Sub(str::MenuHelp),
    Cmd(cmd::HelpContents),
    Cmd(cmd::Tutorial),
    Sep(),
    Cmd(cmd::About),
    End(),
};

constexpr MenuItem kMainToolbar[] = {
    Cmd(cmd::FileOpen),
    Cmd(cmd::InsertFrames),
    Cmd(cmd::FileSave),
    Cmd(cmd::NewAnimation),
    Cmd(cmd::RecordScreen),
    Sep(),
    Cmd(cmd::Cut),
    Cmd(cmd::Copy),
    Cmd(cmd::Paste),
    Cmd(cmd::Delete),
    Sep(),
    Cmd(cmd::Undo),
    Cmd(cmd::Redo),
    Sep(),
    Cmd(cmd::Preview),
    Cmd(cmd::StopPreview),
    Sep(),
    Cmd(cmd::Duration),
    Cmd(cmd::Optimize),
    Cmd(cmd::ReduceColours),
    Cmd(cmd::AnimationAddText),
    Sep(),
    Cmd(cmd::ZoomIn),
    Cmd(cmd::ZoomOut),
    Cmd(cmd::ActualSize),
    Sep(),
    Cmd(cmd::FrameTips),
    Sep(),
    Cmd(cmd::HelpContents),
    Sep(),
};

constexpr MenuItem kFrameMenuSelected[] = {
    Cmd(cmd::Copy),
    Cmd(cmd::Cut),
    Cmd(cmd::Delete),
    Cmd(cmd::Paste),
    Sep(),
    Cmd(cmd::FrameProperties),
    Sep(),
    Sub(str::MenuFrameRotate),
    Cmd(cmd::FrameRotate90Cw),
    Cmd(cmd::FrameRotate180),
    Cmd(cmd::FrameRotate90Ccw),
    Cmd(cmd::FrameFlipHorizontal),
    Cmd(cmd::FrameFlipVertical),
    End(),
    Cmd(cmd::MoveCrop),
    Cmd(cmd::ResizeFrames),
    Cmd(cmd::EditPixels),
    Cmd(cmd::FrameAddText),
    Cmd(cmd::FrameAddImage),
    Cmd(cmd::LiveEditFrame),
    Cmd(cmd::EndLiveEdit),
};

constexpr MenuItem kFrameMenuEmpty[] = {
    Cmd(cmd::Paste),
    Sep(),
    Cmd(cmd::AnimationProperties),
    Cmd(cmd::GlobalFrameProperties),
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
    case E::LiveEditSession: return f.liveEditSession;
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

bool CommandAvailable(const CommandSpec& row, const DocumentFacts& facts) {
  return row.pendingHintId == 0 && CommandEnabled(row.rule, facts);
}

bool CommandChecked(const CommandSpec& row, const DocumentFacts& f) {
  switch (row.check) {
    case C::None: return false;
    case C::PreviewOpen: return f.previewOpen;
    case C::PropertiesBarShown: return f.propertiesBarShown;
    case C::FrameTips: return f.frameTips;
    case C::ZoomLevel: return f.zoomLevel == row.param;
    case C::Orientation: return f.orientation == row.param;
    case C::TransparencyMode: return f.transparencyMode == row.param;
    case C::ModemSpeed: return f.modemSpeed == row.param;
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
  const CommandSpec* row = FindCommand(id);
  return row && row->labelId ? ResText(row->labelId) : std::string();
}

std::string CommandTooltip(int id) {
  // The LiveEdit commands' ids are also those of unrelated texts.
  bool ownText = id != cmd::LiveEditFrame && id != cmd::LiveEditAnimation && id != cmd::EndLiveEdit;
  std::string text = ownText ? ResText(id) : std::string();
  if (text.empty()) {
    for (char c : CommandLabel(id))
      if (c != '&') text += c;
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    text = begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
    if (text.size() >= 3 && text.compare(text.size() - 3, 3, "...") == 0)
      text.resize(text.size() - 3);
  }
  const CommandSpec* row = FindCommand(id);
  if (row && row->pendingHintId) {
    std::string format = ResText(str::TooltipWithHint);
    std::string hint = ResText(row->pendingHintId);
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

int FrameMenuLabel(int command, bool anySelected) {
  if (command != cmd::Paste) return 0;
  return anySelected ? str::PasteBefore : str::PasteFrame;
}

}  // namespace lw
