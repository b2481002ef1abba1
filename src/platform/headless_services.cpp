#include "platform/headless_services.h"

#include <cstdio>
#include <new>

namespace lw {

int HeadlessServices::MessageBox(WindowHandle, const std::string& text, const std::string& caption,
                                 int style) {
  int buttons[3];
  int count = BoxButtons(style, buttons);
  std::lock_guard<std::mutex> lock(mutex_);
  int result = DefaultAnswer(style);
  if (count > 1 && !answers_.empty()) {
    result = answers_.front();
    answers_.pop_front();
  }
  if (echo_) {
    if (caption.empty())
      std::fprintf(stderr, "%s\n", text.c_str());
    else
      std::fprintf(stderr, "%s : %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
  }
  try {
    shown_.push_back({caption, text, style, result});
  } catch (const std::bad_alloc&) {
    // The record is for the tests; the answer matters more.
  }
  return result;
}

uint32_t HeadlessServices::AskPaletteMerge(WindowHandle, uint32_t stored) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (paletteMergeAnswers_.empty()) return stored;
  uint32_t word = paletteMergeAnswers_.front();
  paletteMergeAnswers_.pop_front();
  return word;
}

uint32_t HeadlessServices::AskOversizeInsert(WindowHandle, uint32_t stored) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (oversizeAnswers_.empty()) return stored;
  uint32_t word = oversizeAnswers_.front();
  oversizeAnswers_.pop_front();
  return word;
}

bool HeadlessServices::AskStripSplit(WindowHandle, const Animation&, StripSplitChoice* choice) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++stripQuestions_;
  if (stripAnswers_.empty()) return false;
  *choice = stripAnswers_.front();
  stripAnswers_.pop_front();
  return true;
}

uint32_t HeadlessServices::AskPsdLayers(WindowHandle, uint32_t stored) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (psdLayersAnswers_.empty()) return stored;
  uint32_t options = psdLayersAnswers_.front();
  psdLayersAnswers_.pop_front();
  return options;
}

bool HeadlessServices::ChooseFiles(WindowHandle, int titleId, const std::vector<FileFilter>& filter,
                                   bool multiple, std::vector<std::string>* paths) {
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    fileQuestions_.push_back({titleId, filter, multiple});
  } catch (const std::bad_alloc&) {
    // The record is for the tests.
  }
  if (chosenFiles_.empty()) return false;
  std::vector<std::string> chosen = std::move(chosenFiles_.front());
  chosenFiles_.pop_front();
  if (chosen.empty()) return false;
  if (!multiple) chosen.resize(1);
  *paths = std::move(chosen);
  return true;
}

void HeadlessServices::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

void HeadlessServices::QueuePaletteMergeAnswer(uint32_t word) {
  std::lock_guard<std::mutex> lock(mutex_);
  paletteMergeAnswers_.push_back(word);
}

bool HeadlessServices::AskCursorHotSpot(WindowHandle, const Animation&, int* x, int* y) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (hotSpotAnswers_.empty()) return true;
  auto [answerX, answerY] = hotSpotAnswers_.front();
  hotSpotAnswers_.pop_front();
  if (answerX < 0) return false;
  *x = answerX;
  *y = answerY;
  return true;
}

void HeadlessServices::QueueHotSpotAnswer(int x, int y) {
  std::lock_guard<std::mutex> lock(mutex_);
  hotSpotAnswers_.emplace_back(x, y);
}

void HeadlessServices::QueueOversizeInsertAnswer(uint32_t word) {
  std::lock_guard<std::mutex> lock(mutex_);
  oversizeAnswers_.push_back(word);
}

void HeadlessServices::QueueStripSplitAnswer(const StripSplitChoice& choice) {
  std::lock_guard<std::mutex> lock(mutex_);
  stripAnswers_.push_back(choice);
}

int HeadlessServices::StripQuestions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stripQuestions_;
}

void HeadlessServices::QueuePsdLayersAnswer(uint32_t options) {
  std::lock_guard<std::mutex> lock(mutex_);
  psdLayersAnswers_.push_back(options);
}

void HeadlessServices::QueueChosenFiles(std::vector<std::string> paths) {
  std::lock_guard<std::mutex> lock(mutex_);
  chosenFiles_.push_back(std::move(paths));
}

size_t HeadlessServices::PendingAnswers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return answers_.size() + paletteMergeAnswers_.size() + oversizeAnswers_.size() +
         chosenFiles_.size() + stripAnswers_.size() + psdLayersAnswers_.size() +
         hotSpotAnswers_.size();
}

std::vector<ShownMessage> HeadlessServices::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

std::vector<FileQuestion> HeadlessServices::FileQuestions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fileQuestions_;
}

void HeadlessServices::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.clear();
  paletteMergeAnswers_.clear();
  oversizeAnswers_.clear();
  stripAnswers_.clear();
  stripQuestions_ = 0;
  psdLayersAnswers_.clear();
  chosenFiles_.clear();
  hotSpotAnswers_.clear();
  shown_.clear();
  fileQuestions_.clear();
  undoChanges_ = 0;
  recentChanges_ = 0;
}

void HeadlessServices::SetEcho(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  echo_ = on;
}

void HeadlessServices::ShareWindowWith(PlatformServices* desktop) {
  std::lock_guard<std::mutex> lock(mutex_);
  desktop_ = desktop;
}

std::unique_ptr<ProgressView> HeadlessServices::OpenProgressPopup(WindowHandle owner) {
  PlatformServices* desktop = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    desktop = desktop_;
  }
  return desktop ? desktop->OpenProgressPopup(owner) : nullptr;
}

void HeadlessServices::UndoHistoryChanged() {
  PlatformServices* desktop = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++undoChanges_;
    desktop = desktop_;
  }
  if (desktop) desktop->UndoHistoryChanged();
}

void HeadlessServices::RecentFilesChanged() {
  PlatformServices* desktop = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++recentChanges_;
    desktop = desktop_;
  }
  if (desktop) desktop->RecentFilesChanged();
}

int HeadlessServices::UndoHistoryChanges() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return undoChanges_;
}

int HeadlessServices::RecentFilesChanges() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return recentChanges_;
}

HeadlessServices& DefaultHeadlessServices() {
  static HeadlessServices services;
  return services;
}

}  // namespace lw
