// Services for runs without a window: the batch mode and the tests. Every message goes to
// standard error as "Caption : text"; questions take the next scripted answer, or else the
// box's default button (the first one: OK or Yes, unless the style names another). Boxes with
// only an OK button never consume a scripted answer, so an error shown along the way does not
// shift the script. The open dialog takes the next scripted list of files, or counts as
// cancelled, as does the strip import dialog without a scripted choice; the Save As, merge and
// clip import dialogs keep the defaults of FlowDialogs. Everything shown or asked is recorded for
// the tests. Window tests may hand the window's own calls (notifications, progress popups) on to
// the desktop's services while the questions stay scripted.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/flow_dialogs.h"
#include "platform/services.h"

namespace lw {

struct ShownMessage {
  std::string caption;
  std::string text;
  int style = 0;
  int answer = 0;
};

struct FileQuestion {
  int titleId = 0;
  std::vector<FileFilter> filter;
  bool multiple = false;
};

class HeadlessServices : public PlatformServices, public FlowDialogs {
 public:
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 int style) override;
  bool Interactive() const override { return false; }
  std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle owner) override;
  void UndoHistoryChanged() override;
  void RecentFilesChanged() override;

  uint32_t AskPaletteMerge(WindowHandle owner, uint32_t stored) override;
  uint32_t AskOversizeInsert(WindowHandle owner, uint32_t stored) override;
  uint32_t AskPsdLayers(WindowHandle owner, uint32_t stored) override;
  bool ChooseFiles(WindowHandle owner, int titleId, const std::vector<FileFilter>& filter,
                   bool multiple, std::vector<std::string>* paths) override;
  bool AskStripSplit(WindowHandle owner, const Animation& strip, StripSplitChoice* choice) override;
  bool AskCursorHotSpot(WindowHandle owner, const Animation& document, int* x, int* y) override;

  // Script: answers taken in order by the next questions (answer:: values).
  void QueueAnswer(int answer);
  // Script for the two engine questions: the word returned instead of the stored one
  // (0 stands for the user cancelling).
  void QueuePaletteMergeAnswer(uint32_t word);
  void QueueOversizeInsertAnswer(uint32_t word);
  // Script for the PSD layer question: the options returned (0 stands for a cancel).
  void QueuePsdLayersAnswer(uint32_t options);
  // Script for the open dialog: the files the next one returns (an empty list cancels it).
  void QueueChosenFiles(std::vector<std::string> paths);
  // Script for the strip import dialog: the choices its next showings return (OK each time).
  void QueueStripSplitAnswer(const StripSplitChoice& choice);
  // How many times the strip import dialog was shown.
  int StripQuestions() const;
  // Script for the hot-spot dialog: the point the next one returns (x < 0 cancels it).
  void QueueHotSpotAnswer(int x, int y);
  size_t PendingAnswers() const;

  std::vector<ShownMessage> Messages() const;
  // The open dialogs asked for, in order.
  std::vector<FileQuestion> FileQuestions() const;
  // How many times the undo history and the recent files were said to have changed.
  int UndoHistoryChanges() const;
  int RecentFilesChanges() const;
  // Empties the record (counts included) and every script.
  void Reset();

  // Whether messages are written to standard error (on by default).
  void SetEcho(bool on);

  // Where notifications and progress popups go: the window's services in window tests, none
  // (the default) elsewhere. Reset leaves it.
  void ShareWindowWith(PlatformServices* desktop);

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::deque<uint32_t> paletteMergeAnswers_;
  std::deque<uint32_t> oversizeAnswers_;
  std::deque<uint32_t> psdLayersAnswers_;
  std::deque<std::vector<std::string>> chosenFiles_;
  std::deque<StripSplitChoice> stripAnswers_;
  int stripQuestions_ = 0;
  std::deque<std::pair<int, int>> hotSpotAnswers_;
  std::vector<ShownMessage> shown_;
  std::vector<FileQuestion> fileQuestions_;
  int undoChanges_ = 0;
  int recentChanges_ = 0;
  bool echo_ = true;
  PlatformServices* desktop_ = nullptr;
};

// The instance that Services() and Dialogs() return while nothing else is installed.
HeadlessServices& DefaultHeadlessServices();

}  // namespace lw
