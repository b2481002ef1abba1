// --record: the screen as an input of the batch mode. Its settings follow it (--duration, --fps,
// --pointer), so that a line reads as the recording it makes; a --duration or --fps given
// before it for clips serves when none follows.
#include "base/messages.h"
#include "base/string_ids.h"
#include "formats/avi/video_import.h"
#include "formats/record/recorder.h"
#include "platform/files.h"
#include "shell/batch.h"
#include "shell/batch_internal.h"
#include "shell/options_from_preferences.h"

namespace lw {
namespace {

struct RecordRequest {
  bool wholeScreen = true;
  CaptureArea area;
  int64_t durationMs = 0;
  uint32_t fps = 15;
  bool pointer = false;
};

// "--name value" or "--name=value" at args[*i] for one of the settings that follow --record;
// false when the word is none of them (it belongs to the flags after the recording).
bool RecordSetting(const std::vector<std::string>& args, size_t* i, RecordRequest* request,
                   bool* bad, std::string* badFlag, std::string* badValue) {
  const std::string& word = args[*i];
  const size_t equals = word.find('=');
  const std::string name = word.substr(0, equals);
  if (name != "--duration" && name != "--fps" && name != "--pointer") return false;
  std::string value;
  if (name == "--pointer") {
    if (equals != std::string::npos) {
      *bad = true;
      *badFlag = name;
      *badValue = word.substr(equals + 1);
      return true;
    }
    request->pointer = true;
    return true;
  }
  if (equals != std::string::npos) {
    value = word.substr(equals + 1);
  } else if (*i + 1 < args.size()) {
    value = args[++*i];
  }
  int64_t number = 0;
  const bool good = name == "--duration"
                        ? ParseClipTime(value, &request->durationMs) && request->durationMs > 0
                        : ParseWholeNumber(value, 1, kMaxRecordRate, &number) && value[0] != '+';
  if (!good) {
    *bad = true;
    *badFlag = name;
    *badValue = value;
  } else if (name == "--fps") {
    request->fps = static_cast<uint32_t>(number);
  }
  return true;
}

}  // namespace

bool batch::RecordFlag(Run& run, const std::vector<std::string>& args, size_t* i) {
  const std::string& word = args[*i];
  std::string value;
  if (word.rfind("--record=", 0) == 0) {
    value = word.substr(9);
  } else if (word == "--record") {
    if (*i + 1 >= args.size()) {
      ShowErrorId(str::BatchMissingArgument, "--record");
      run.stop = true;
      return true;
    }
    value = args[++*i];
  } else {
    return false;
  }
  RecordRequest request;
  const VideoPart clip = VideoPartPreset();
  request.durationMs = clip.lengthMs;
  if (clip.fpsMilli >= 1000 && clip.fpsMilli % 1000 == 0 && clip.fpsMilli <= kMaxRecordRate * 1000)
    request.fps = clip.fpsMilli / 1000;
  if (value != "screen") {
    int64_t rect[4];
    if (!ParseCropRectangle(value, rect)) {
      ShowErrorId(str::BatchBadValue, "--record", value.c_str());
      run.stop = true;
      return true;
    }
    request.wholeScreen = false;
    request.area = {static_cast<int32_t>(rect[0]), static_cast<int32_t>(rect[1]),
                    static_cast<uint32_t>(rect[2]), static_cast<uint32_t>(rect[3])};
  }
  bool bad = false;
  std::string badFlag, badValue;
  while (*i + 1 < args.size()) {
    size_t next = *i + 1;
    if (!RecordSetting(args, &next, &request, &bad, &badFlag, &badValue)) break;
    *i = next;
    if (bad) {
      ShowErrorId(str::BatchBadValue, badFlag.c_str(), badValue.c_str());
      run.stop = true;
      return true;
    }
  }
  if (request.durationMs <= 0) {
    ShowErrorId(str::RecordNeedsDuration);
    run.stop = true;
    return true;
  }

  CaptureError error = CaptureError::None;
  std::unique_ptr<ScreenCapture> capture = OpenScreenCapture(&error);
  if (!capture) {
    ShowCaptureError(error);
    run.stop = true;
    return true;
  }
  if (request.wholeScreen) request.area = {0, 0, capture->ScreenWidth(), capture->ScreenHeight()};
  const uint32_t screenWidth = capture->ScreenWidth(), screenHeight = capture->ScreenHeight();
  RecordOptions options;
  options.area = request.area;
  options.fps = request.fps;
  options.pointer = request.pointer;
  options.durationMs = request.durationMs;
  options.timing = TimingFromPreferences();
  std::unique_ptr<Recorder> recorder = Recorder::Start(std::move(capture), options, &error);
  if (!recorder) {
    if (error != CaptureError::None)
      ShowCaptureError(error, request.area, screenWidth, screenHeight);
    else
      ShowErrorId(str::RecordNoTempFile, SystemTempFolder().c_str());
    run.stop = true;
    return true;
  }
  recorder->Wait();
  AnimationPtr chain;
  const int status = recorder->Collect(&chain, nullptr);
  recorder.reset();
  if (status == 0 || !chain) {
    run.stop = true;
    return true;
  }
  TakeInput(run, std::move(chain), 1, std::string());
  return true;
}

}  // namespace lw
