// The main window's commands: one table maps each command id to what runs it. Document edits
// are engine functions (shell/document_commands.h); the window only applies their hints.
#include <QApplication>
#include <QColorDialog>
#include <QLineEdit>
#include <QStatusBar>
#include <algorithm>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "colour/optimize.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "edit/properties.h"
#include "formats/format_registry.h"
#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "formats/strip_flow.h"
#include "formats/strip_import.h"
#include "platform/files.h"
#include "platform/flow_dialogs.h"
#include "platform/services.h"
#include "shell/clipboard_commands.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/geometry_commands.h"
#include "shell/layer_commands.h"
#include "shell/options_from_preferences.h"
#include "shell/status_text.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/comment_list_dialog.h"
#include "ui/dialogs/html_code_dialog.h"
#include "ui/dialogs/layer_dialog.h"
#include "ui/dialogs/move_crop_dialog.h"
#include "ui/dialogs/optimize_dialog.h"
#include "ui/dialogs/properties_sheet.h"
#include "ui/dialogs/reduce_colours_dialog.h"
#include "ui/dialogs/reduce_frame_count_dialog.h"
#include "ui/dialogs/resize_dialog.h"
#include "ui/services/live_edit_link.h"
#include "ui/window/colour_commands.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui/window/preferences_sheet.h"
#include "ui/window/preview_window.h"
#include "ui/window/properties_bar.h"
#include "ui/window/record_session.h"

namespace lw {

namespace {

// The properties sheet, the comments and the frame-count reduction: the document changes in the
// dialog; the window marks it modified and returns what to redraw.
uint32_t PropertyDialog(MainWindow& w, int command) {
  ShellState& state = w.State();
  Animation* doc = state.document.get();
  if (!doc) return 0;
  w.StopBackgroundWork();
  uint32_t hints = 0;
  bool changed = false;
  if (command == cmd::GifComments) {
    changed = AskGifComments(&w, doc);
    hints = changed ? refresh::Encoding | refresh::PropertiesFrame : 0;
  } else if (command == cmd::ReduceFrameCount) {
    int current = state.currentFrame;
    changed = AskReduceFrameCount(&w, doc, &hints, &current);
    // The current frame stays on its frame, or on the one that took its delay.
    if (changed && FrameAt(*doc, current)) {
      if (!FrameAt(*doc, current)->selected) lw::SelectFrame(*doc, current, selmode::Only);
      state.currentFrame = current;
    }
  } else {
    PropertiesRequest request;
    request.opener = command == cmd::FrameProperties ? PropertiesRequest::Opener::Frame
                     : command == cmd::GlobalFrameProperties
                         ? PropertiesRequest::Opener::GlobalFrame
                         : PropertiesRequest::Opener::Animation;
    request.animation = doc;
    request.currentFrame = state.currentFrame;
    request.severalSelected = doc->selectedCount > 1;
    request.fileName = state.documentPath.substr(state.documentPath.rfind('/') + 1);
    AskProperties(&w, &request);
    // A page may have changed the document before a later one kept the sheet open.
    changed = request.changes != 0 || request.hints != 0;
    hints = request.hints;
    if (request.changes & propchange::LoopOrBackground)
      w.Properties()->RefreshAnimationControls(doc);
  }
  if (!changed) return 0;
  w.SetModified(true);
  state.NotifyTitle();
  // Loop count, background and comments change the file but no frame.
  if (!(hints & (refresh::Document | refresh::OneFrame))) w.StartSizeEstimate(true);
  return hints;
}

// "Ajouter du texte..." and "Ajouter une image...": the picture is chosen and read first; the
// dialog draws into the frames on OK.
uint32_t LayerCommand(MainWindow& w, int command) {
  ShellState& state = w.State();
  Animation* doc = state.document.get();
  if (!doc || doc->frameCount <= 0) return 0;
  const bool picture = command == cmd::FrameAddImage || command == cmd::AnimationAddImage;
  Layer layer;
  std::string name;
  if (picture) {
    std::vector<std::string> paths;
    if (!Dialogs().ChooseFiles(&w, str::LayerImageChooserTitle, OpenFilters(), false, &paths) ||
        paths.empty())
      return 0;
    if (!ReadOverlayPicture(paths.front(), &w, &layer)) return 0;
    name = paths.front().substr(paths.front().rfind('/') + 1);
  }
  w.StopBackgroundWork();
  LayerRequest request;
  request.animation = doc;
  request.currentIndex = std::clamp(state.currentFrame, 0, doc->frameCount - 1);
  request.selectedFirst = command == cmd::FrameAddText || command == cmd::FrameAddImage;
  request.picture = picture ? &layer : nullptr;
  request.pictureName = name;
  uint32_t hints = 0;
  if (!AskLayer(&w, &request, &hints)) {
    w.StartSizeEstimate(false);
    return 0;
  }
  w.SetModified(true);
  state.NotifyTitle();
  return hints;
}

// The DIBs' colour tables show transparent pixels in the display colour chosen.
void ShowTransparentPixels(Animation* document) {
  if (!document) return;
  for (Frame* f = FirstFrame(*document); f; f = NextFrame(f)) SetTransparentDisplayColour(f, true);
}

}  // namespace

struct MainWindow::Handler {
  int first;  // the ids first..last run it
  int last;
  void (*run)(MainWindow& window, int command);
};

const MainWindow::Handler* MainWindow::FindHandler(int command) {
  using W = MainWindow;
  static constexpr auto ImportFiles = [](W& w, int c) {
    OpenCommand(w.state_, std::string(), ImportFilter(c));
  };
  static const Handler kHandlers[] = {
      {cmd::FileOpen, cmd::FileOpen, [](W& w, int) { w.OpenDocument(""); }},
      {cmd::ImportStrip, cmd::ImportStrip, [](W& w, int) { ImportStripCommand(w.state_); }},
      {cmd::FileSave, cmd::FileSave, [](W& w, int) { w.SaveDocument(); }},
      {cmd::FileSaveAs, cmd::FileSaveAs, [](W& w, int) { w.SaveDocumentAs(-1); }},
      {cmd::SaveGifAs, cmd::SaveGifAs, [](W& w, int) { w.SaveDocumentAs(savetype::Gif); }},
      {cmd::RevertToSaved, cmd::RevertToSaved, [](W& w, int) { RevertToSaved(w.state_); }},
      // "Importer de": the Open command with the format's own filter list.
      {cmd::ImportAvi, cmd::ImportAvi, ImportFiles},
      {cmd::ImportBmp, cmd::ImportBmp, ImportFiles},
      {cmd::ImportJpeg, cmd::ImportJpeg, ImportFiles},
      {cmd::ImportPsd, cmd::ImportPsd, ImportFiles},
      {cmd::ImportPng, cmd::ImportPng, ImportFiles},
      {cmd::ImportIcon, cmd::ImportIcon, ImportFiles},
      {cmd::ImportCursor, cmd::ImportCursor, ImportFiles},
      {cmd::ImportAnimatedCursor, cmd::ImportAnimatedCursor, ImportFiles},
      {cmd::ImportVideo, cmd::ImportApng, ImportFiles},
      // With nothing open (the intro panel's button), inserting opens: the title says so.
      {cmd::InsertFrames, cmd::InsertFrames,
       [](W& w, int) { InsertCommand(w.state_, !w.state_.document); }},
      {cmd::MergeWith, cmd::MergeWith, [](W& w, int) { w.MergeWith(); }},
      {cmd::RecordScreen, cmd::RecordScreen,
       [](W& w, int) {
         RecordScreenCommand(&w, w.state_);
         w.UpdateCommandStates();
       }},
      {cmd::NewAnimation, cmd::NewAnimation, [](W& w, int) { w.CloseDocument(); }},
      {cmd::HtmlCode, cmd::HtmlCode,
       [](W& w, int) {
         if (!w.state_.document) return;
         HtmlCodeRequest request{w.state_.document.get(), w.state_.documentPath};
         AskHtmlCode(&w, &request);
       }},
      {cmd::Exit, cmd::Exit, [](W& w, int) { w.close(); }},
      {cmd::LiveEditAnimation, cmd::LiveEditFrame,
       [](W& w, int c) {
         RunLiveEditCommand(&w, w.state_, c, [&w](uint32_t hints) {
           hints ? w.AfterCommand(hints) : w.UpdateCommandStates();
         });
       }},
      {cmd::EndLiveEdit, cmd::EndLiveEdit,
       [](W& w, int c) {
         RunLiveEditCommand(&w, w.state_, c, [&w](uint32_t) { w.UpdateCommandStates(); });
       }},
      {cmd::RecentFileFirst, cmd::RecentFileLast,
       [](W& w, int c) {
         std::string path;
         if (RecentFileGet(c - cmd::RecentFileFirst + 1, &path)) OpenRecentFile(w.state_, path);
       }},
      {cmd::Undo, cmd::Undo, [](W& w, int) { w.UndoOrRedo(false); }},
      {cmd::Redo, cmd::Redo, [](W& w, int) { w.UndoOrRedo(true); }},
      {cmd::Delete, cmd::Delete,
       [](W& w, int) {
         if (!w.state_.document || w.state_.currentFrame < 0) return QApplication::beep();
         w.AfterCommand(DeleteFramesCommand(w.state_));
       }},
      {cmd::Cut, cmd::Cut, [](W& w, int c) { w.CopyOrCut(c); }},
      {cmd::Copy, cmd::Copy, [](W& w, int c) { w.CopyOrCut(c); }},
      {cmd::Paste, cmd::Paste, [](W& w, int) { w.AfterCommand(PasteCommand(w.state_)); }},
      {cmd::SelectAll, cmd::SelectAll, [](W& w, int) { w.SelectAll(); }},
      {cmd::InvertSelection, cmd::InvertSelection, [](W& w, int) { w.InvertSelection(); }},
      {cmd::Preferences, cmd::Preferences, [](W& w, int) { w.Preferences(); }},
      {cmd::ReverseOrder, cmd::ReverseOrder,
       [](W& w, int) { w.AfterCommand(ReverseOrderCommand(w.state_)); }},
      {cmd::PingPong, cmd::PingPong, [](W& w, int) { w.AfterCommand(PingPongCommand(w.state_)); }},
      {cmd::Optimize, cmd::Optimize,
       [](W& w, int) {
         if (!PrepareOptimize(w.state_)) return;
         OptimizeRequest request{w.state_.document.get()};
         if (AskOptimize(&w, &request)) w.AfterCommand(AfterOptimize(w.state_));
       }},
      {cmd::ReduceColours, cmd::ReduceColours,
       [](W& w, int) {
         // The same preparation as the optimizer: recount awaited, 24-bit data may go.
         if (!PrepareOptimize(w.state_)) return;
         ReduceColoursRequest request{w.state_.document.get()};
         if (AskReduceColours(&w, &request)) w.AfterCommand(AfterOptimize(w.state_));
       }},
      {cmd::Unoptimize, cmd::Unoptimize,
       [](W& w, int) {
         if (!w.state_.document) return;
         // The 24-bit question comes before the wait cursor.
         w.StopBackgroundWork();
         if (!ConfirmDrop24BitData(&w, *w.state_.document)) return;
         QApplication::setOverrideCursor(Qt::WaitCursor);
         uint32_t hints = UnoptimizeCommand(w.state_);
         QApplication::restoreOverrideCursor();
         w.AfterCommand(hints);
       }},
      {cmd::Preview, cmd::Preview,
       [](W& w, int) { w.TogglePreview(static_cast<int>(PreviewMode::AllFrames)); }},
      {cmd::StopPreview, cmd::StopPreview,
       [](W& w, int) { w.TogglePreview(static_cast<int>(PreviewMode::AllFrames)); }},
      {cmd::PreviewSelected, cmd::PreviewSelected,
       [](W& w, int) { w.TogglePreview(static_cast<int>(PreviewMode::SelectedFrames)); }},
      {cmd::Duration, cmd::Duration,
       [](W& w, int) { w.TogglePreview(static_cast<int>(PreviewMode::Durations)); }},
      {cmd::ShowPropertiesBar, cmd::ShowPropertiesBar, [](W& w, int c) { w.ToggleViewSetting(c); }},
      {cmd::FrameTips, cmd::FrameTips, [](W& w, int c) { w.ToggleViewSetting(c); }},
      {cmd::ZoomIn, cmd::ZoomIn, [](W& w, int) { w.SetZoom(w.strip_->ZoomLevel() + 1); }},
      {cmd::ZoomOut, cmd::ZoomOut, [](W& w, int) { w.SetZoom(w.strip_->ZoomLevel() - 1); }},
      {cmd::ActualSize, cmd::ActualSize, [](W& w, int) { w.SetZoom(0); }},
      {cmd::ZoomLevelFirst, cmd::ZoomLevelLast,
       [](W& w, int c) { w.SetZoom(c - cmd::ZoomLevelFirst + cmd::ZoomLevelMin); }},
      {cmd::OrientationAuto, cmd::OrientationAuto,
       [](W& w, int) { w.SetOrientation(orient::Automatic); }},
      {cmd::OrientationHorizontal, cmd::OrientationHorizontal,
       [](W& w, int) { w.SetOrientation(orient::Horizontal); }},
      {cmd::OrientationVertical, cmd::OrientationVertical,
       [](W& w, int) { w.SetOrientation(orient::Vertical); }},
      {cmd::TransparencyAsWindow, cmd::TransparencyAsCustom,
       [](W& w, int c) { w.SetTransparencyMode(c); }},
      {cmd::DownloadTimeFirst, cmd::DownloadTimeLast,
       [](W& w, int c) { w.SetModemSpeed(c - cmd::DownloadTimeFirst); }},
      {cmd::HelpContents, cmd::HelpContents,
       [](W& w, int) { w.ShowInShare("aide/loopwright.html", str::HelpMissing); }},
      {cmd::Tutorial, cmd::Tutorial,
       [](W& w, int) { w.ShowInShare("tutoriel/tutoriel.html", str::TutorialMissing); }},
      {cmd::About, cmd::About, [](W& w, int) { ShowAboutBox(&w); }},
      {cmd::MoveCrop, cmd::MoveCrop, [](W& w, int c) { w.RunGeometryCommand(c); }},
      {cmd::CropAnimation, cmd::CropAnimation, [](W& w, int c) { w.RunGeometryCommand(c); }},
      {cmd::ResizeFrames, cmd::ResizeFrames, [](W& w, int c) { w.RunGeometryCommand(c); }},
      {cmd::ResizeAnimation, cmd::ResizeAnimation, [](W& w, int c) { w.RunGeometryCommand(c); }},
      {cmd::FrameRotate90Cw, cmd::FrameFlipVertical, [](W& w, int c) { w.RunGeometryCommand(c); }},
      {cmd::AnimationRotate90Cw, cmd::AnimationFlipVertical,
       [](W& w, int c) { w.RunGeometryCommand(c); }},
      {cmd::DisposalLeave, cmd::DisposalLeave,
       [](W& w, int) { w.AfterCommand(SetDisposalCommand(w.state_, 1)); }},
      {cmd::DisposalRestoreBackground, cmd::DisposalRestoreBackground,
       [](W& w, int) { w.AfterCommand(SetDisposalCommand(w.state_, 2)); }},
      {cmd::DisposalRestorePrevious, cmd::DisposalRestorePrevious,
       [](W& w, int) { w.AfterCommand(SetDisposalCommand(w.state_, 3)); }},
      {cmd::ToggleTransparency, cmd::LocalPalettePresent,
       [](W& w, int c) { w.AfterCommand(RunColourCommand(&w, w.state_, c)); }},
      {cmd::EditLocalPalette, cmd::EditLocalPalette,
       [](W& w, int c) { w.AfterCommand(RunColourCommand(&w, w.state_, c)); }},
      {cmd::EditGlobalPalette, cmd::EditGlobalPalette,
       [](W& w, int c) { w.AfterCommand(RunColourCommand(&w, w.state_, c)); }},
      {cmd::EditPixels, cmd::EditPixels,
       [](W& w, int c) { w.AfterCommand(RunColourCommand(&w, w.state_, c)); }},
      {cmd::FrameProperties, cmd::FrameProperties,
       [](W& w, int c) { w.AfterCommand(PropertyDialog(w, c)); }},
      {cmd::GlobalFrameProperties, cmd::GlobalFrameProperties,
       [](W& w, int c) { w.AfterCommand(PropertyDialog(w, c)); }},
      {cmd::AnimationProperties, cmd::AnimationProperties,
       [](W& w, int c) { w.AfterCommand(PropertyDialog(w, c)); }},
      {cmd::GifComments, cmd::GifComments,
       [](W& w, int c) { w.AfterCommand(PropertyDialog(w, c)); }},
      {cmd::ReduceFrameCount, cmd::ReduceFrameCount,
       [](W& w, int c) { w.AfterCommand(PropertyDialog(w, c)); }},
      {cmd::FrameAddText, cmd::AnimationAddImage,
       [](W& w, int c) { w.AfterCommand(LayerCommand(w, c)); }},
      {cmd::Has24BitData, cmd::Has24BitData,
       [](W& w, int) { w.AfterCommand(ToggleTrueColourCommand(w.state_)); }},
  };
  for (const Handler& h : kHandlers)
    if (command >= h.first && command <= h.last) return &h;
  return nullptr;
}

void MainWindow::Command(int command) {
  QString hint = PendingHint(command);
  if (!hint.isEmpty()) {
    statusBar()->showMessage(hint, 4000);
    return;
  }
  if (const Handler* handler = FindHandler(command)) handler->run(*this, command);
}

void MainWindow::RunGeometryCommand(int command) {
  if (!state_.document) return;
  const bool whole = command == cmd::ResizeAnimation || command == cmd::CropAnimation ||
                     TurnsWholeAnimation(command);
  if (!whole && state_.currentFrame < 0) return QApplication::beep();
  StopBackgroundWork();
  uint32_t hints = 0;
  if (command == cmd::ResizeAnimation || command == cmd::ResizeFrames) {
    ResizeRequest request;
    request.animation = state_.document.get();
    request.currentIndex = state_.currentFrame;
    request.wholeAnimation = whole;
    request.paletteFit = PaletteFitOptionsFromPreferences();
    AskResize(this, &request, &hints);
  } else if (command == cmd::MoveCrop || command == cmd::CropAnimation) {
    MoveCropRequest request;
    request.animation = state_.document.get();
    request.currentIndex = state_.currentFrame;
    request.wholeAnimation = whole;
    AskMoveCrop(this, &request, &hints);
  } else {
    hints = RunRotationCommand(*state_.document, command, state_.currentFrame, state_.owner);
  }
  // The background work stopped above starts again even when nothing changed.
  if (hints == 0) return StartSizeEstimate(false);
  // Cropping to the whole screen changes nothing, though it leaves a step to undo.
  if (hints != refresh::StripOnly) state_.modified = true;
  AfterCommand(hints);
}

void MainWindow::CopyOrCut(int command) {
  if (!state_.document || state_.currentFrame < 0) return QApplication::beep();
  AfterCommand(command == cmd::Cut ? CutCommand(state_) : CopyCommand(state_));
  // Paste comes alive once something was copied.
  UpdateCommandStates();
}

void MainWindow::MoveFrames(int position) { AfterCommand(MoveFramesCommand(state_, position)); }

void MainWindow::UndoOrRedo(bool redo) {
  if (!state_.document) return;
  // Retimed delays keep the preview open; anything else may take its frames away.
  if ((redo ? CanRedoKind() : CanUndoKind()) == UndoKind::EditDurations) {
    StopTasks(task::SizeEstimate | task::ColourCount);
  } else {
    StopBackgroundWork();
  }
  uint32_t hints = redo ? Redo(*state_.document) : Undo(*state_.document);
  if (hints == 0) return;
  state_.modified = true;
  AfterCommand(hints);
}

void MainWindow::ApplyDelayText(const QString& text) {
  if (properties_->Updating() || !state_.document || state_.currentFrame < 0) return;
  EditValue value = CheckDelayText(text.toStdString());
  if (value.check == EditCheck::Empty) return;
  if (value.check == EditCheck::OutOfRange) {
    Services().MessageBox(this, DelayRangeText, DelayRangeTitle, mb::Ok | mb::IconExclamation);
    properties_->DelayEdit()->setText(QString::number(value.value));  // applied as if typed
    return;
  }
  AfterCommand(SetDelayCommand(state_, value.value, &delayRun_));
}

void MainWindow::ApplyLoopText(const QString& text) {
  if (properties_->Updating() || !state_.document) return;
  EditValue value = CheckLoopText(text.toStdString());
  if (value.check == EditCheck::Empty) return;
  if (value.check == EditCheck::OutOfRange) {
    Services().MessageBox(this, LoopRangeText, LoopRangeTitle, mb::Ok | mb::IconExclamation);
    properties_->LoopEdit()->setText(QString::number(value.value));
    return;
  }
  if (SetLoopCountCommand(state_, value.value, &loopRun_)) UpdateCommandStates();
}

void MainWindow::SelectAll() {
  if (!state_.document || state_.document->frameCount == 0) return;
  SelectFrame(0, selmode::Only);
  SelectFrame(state_.document->frameCount - 1, selmode::Extend);
}

void MainWindow::InvertSelection() {
  if (!state_.document) return;
  for (int i = 0; i < state_.document->frameCount; ++i)
    lw::SelectFrame(*state_.document, i, selmode::Toggle);
  Frame* first = FirstSelectedFrame(*state_.document);
  strip_->RedrawSelected();
  SetCurrentFrame(first ? FrameIndex(*state_.document, first) : -1);
}

void MainWindow::MergeWith() {
  if (!state_.document || state_.document->frameCount == 0) return;
  StopBackgroundWork();
  std::vector<std::string> paths;
  if (!Dialogs().ChooseFiles(this, str::MergeWithTitle, AllFormatsFilter(), false, &paths) ||
      paths.empty())
    return;
  if (MergeAnimations(state_, paths.front()) == 0) return;
  // The merged frames replace every frame: nothing stays selected.
  for (Frame* f = FirstFrame(*state_.document); f; f = NextFrame(f)) f->selected = false;
  RecountSelection(*state_.document);
  strip_->RedrawAll();
  SetCurrentFrame(-1);
}

void MainWindow::InsertFiles(const QStringList& paths, int index) {
  if (state_.document) StopBackgroundWork();
  std::vector<std::string> files;
  for (const QString& p : paths) files.push_back(p.toStdString());
  lw::DropFiles(state_, files, index);
  UpdateCommandStates();
}

void MainWindow::Preferences() {
  PreferencesOutcome outcome = ShowPreferences(this);
  uint32_t tips = GetPref(PrefFrameTips);
  strip_->SetTipsEnabled(BitIn(tips, Pref::FrameTipsOn));
  strip_->SetTipBits(tips);
  if (!outcome.accepted) return;
  ApplyEnginePreferences();
  ShowTransparentPixels(state_.document.get());
  strip_->SetTransparencyDisplay(GetPref(PrefTransparencyDisplay));
  if (outcome.interlaceChanged && state_.document) {
    // Flags cleared change the file: the document is modified.
    if (!PrefOn(Pref::AllowInterlace)) ClearInterlacingCommand(state_);
    StartSizeEstimate(true);
  }
  // The next save must carry the new signature.
  if (outcome.signatureChanged && state_.document) state_.modified = true;
  UpdateCommandStates();
}

void MainWindow::ToggleViewSetting(int command) {
  if (command == cmd::ShowPropertiesBar) {
    bool hide = !PrefOn(Pref::HidePropertiesBar);
    SetPrefOn(Pref::HidePropertiesBar, hide);
    properties_->setVisible(!hide);
  } else {
    bool on = !PrefOn(Pref::FrameTipsOn);
    SetPrefOn(Pref::FrameTipsOn, on);
    strip_->SetTipsEnabled(on);
    strip_->SetTipBits(GetPref(PrefFrameTips));
  }
  UpdateCommandStates();
}

void MainWindow::SetZoom(int level) {
  strip_->SetZoom(level);
  RefreshStatus();
  UpdateCommandStates();
}

void MainWindow::SetOrientation(int value) {
  strip_->SetOrientation(value);
  SetPrefField(PrefField::StripOrientation, value == orient::Horizontal ? 2
                                            : value == orient::Vertical ? 1
                                                                        : 0);
  UpdateCommandStates();
}

void MainWindow::SetTransparencyMode(int command) {
  const uint32_t old = PrefFieldValue(PrefField::TransparencyColour);
  // Modes: 0 the window's background, 1 the frame's own colour, 2 a custom colour, which stays
  // for a later choice.
  uint32_t value = WithField(0, PrefField::TransparencyColour, old);
  if (command == cmd::TransparencyAsFrameColour)
    value = WithField(value, PrefField::TransparencyMode, 1);
  if (command == cmd::TransparencyAsCustom) {
    QColor start = QColor::fromRgb(PixelFromColour(old));
    QColor colour = QColorDialog::getColor(start, this);
    if (!colour.isValid()) return;
    value = WithField(WithField(0, PrefField::TransparencyColour, ColourFromPixel(colour.rgb())),
                      PrefField::TransparencyMode, 2);
  }
  SetPref(PrefTransparencyDisplay, value);
  ApplyEnginePreferences();
  ShowTransparentPixels(state_.document.get());
  strip_->SetTransparencyDisplay(value);
  UpdateCommandStates();
}

void MainWindow::SetModemSpeed(int index) {
  SetPref(PrefModemSpeed, static_cast<uint32_t>(index));
  if (state_.document) StartSizeEstimate(false);
  UpdateCommandStates();
}

void MainWindow::ShowInShare(const char* relative, int missingTextId) {
  std::string path = ShareFile(relative);
  if (path.empty()) {
    ShowErrorId(missingTextId);
    return;
  }
  if (missingTextId == str::TutorialMissing) SetInitDir(ShareFile("exemples"));
  // Without a browser the user still learns where the page is.
  if (!openPage_ || !openPage_(path)) ShowErrorId(str::NoBrowser, path.c_str());
}

void MainWindow::ClosePreview() {
  if (!preview_) return;
  PreviewWindow* preview = preview_;
  preview_ = nullptr;
  preview->hide();
  preview->deleteLater();
  durationsEdited_ = false;
  RefreshFrameControls();
}

void MainWindow::TogglePreview(int mode) {
  PreviewMode previewMode = static_cast<PreviewMode>(mode);
  if (preview_ && previewMode != PreviewMode::Durations) {
    ClosePreview();
    return;
  }
  ClosePreview();
  if (!state_.document || state_.document->frameCount == 0) return;
  auto* preview = new PreviewWindow(state_.document.get(), previewMode, state_.currentFrame, this);
  preview_ = preview;
  connect(preview, &PreviewWindow::closeRequested, this, &MainWindow::ClosePreview);
  connect(preview, &PreviewWindow::durationModeChanged, this, [this](bool on) {
    durationsEdited_ = on;
    RefreshFrameControls();
  });
  connect(preview, &PreviewWindow::delaysChanged, this, [this] {
    RefreshDuration();
    state_.modified = true;
    RefreshFrameControls();
  });
  UpdateCommandStates();
  if (!preview->Open()) ClosePreview();
}

}  // namespace lw
