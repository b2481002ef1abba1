// Services for runs without a window: the batch mode and the tests. Every message goes to
// standard error as "Caption : text"; questions take the next scripted answer, or else the
// box's default button (the first one: OK or Yes, unless the style names another). Boxes with
// only an OK button never consume a scripted answer, so an error shown along the way does not
// shift the script. Everything shown is recorded for the tests.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/services.h"

namespace lw {

struct ShownMessage {
  std::string caption;
  std::string text;
  int style = 0;
  int answer = 0;
};

class HeadlessServices : public PlatformServices {
 public:
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 int style) override;
  bool Interactive() const override { return false; }
  uint32_t AskPaletteMerge(WindowHandle owner, uint32_t stored) override;
  uint32_t AskOversizeInsert(WindowHandle owner, uint32_t stored) override;

  // Script: answers taken in order by the next questions (answer:: values).
  void QueueAnswer(int answer);
  // Script for the two engine questions: the word returned instead of the stored one
  // (0 stands for the user cancelling).
  void QueuePaletteMergeAnswer(uint32_t word);
  void QueueOversizeInsertAnswer(uint32_t word);
  size_t PendingAnswers() const;

  std::vector<ShownMessage> Messages() const;
  // Empties the record and every script.
  void Reset();

  // Whether messages are written to standard error (on by default).
  void SetEcho(bool on);

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::deque<uint32_t> paletteMergeAnswers_;
  std::deque<uint32_t> oversizeAnswers_;
  std::vector<ShownMessage> shown_;
  bool echo_ = true;
};

// The instance that Services() returns while nothing else is installed.
HeadlessServices& DefaultHeadlessServices();

}  // namespace lw
