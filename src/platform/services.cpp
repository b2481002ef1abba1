#include "platform/services.h"

#include <atomic>

#include "platform/files.h"
#include "platform/flow_dialogs.h"
#include "platform/headless_services.h"

namespace lw {
namespace {

std::atomic<PlatformServices*> current{nullptr};
std::atomic<FlowDialogs*> currentDialogs{nullptr};
std::atomic<ReplacementFiles*> currentReplacement{nullptr};

}  // namespace

bool ReplacementFiles::Rename(const std::string& from, const std::string& to) {
  return RenameFile(from, to);
}

bool ReplacementFiles::Remove(const std::string& path) { return DeleteFile(path); }

int BoxButtons(int style, int out[3]) {
  switch (style & mb::ButtonMask) {
    case mb::OkCancel: out[0] = answer::Ok, out[1] = answer::Cancel; return 2;
    case mb::AbortRetryIgnore:
      out[0] = answer::Abort, out[1] = answer::Retry, out[2] = answer::Ignore;
      return 3;
    case mb::YesNoCancel:
      out[0] = answer::Yes, out[1] = answer::No, out[2] = answer::Cancel;
      return 3;
    case mb::YesNo: out[0] = answer::Yes, out[1] = answer::No; return 2;
    case mb::RetryCancel: out[0] = answer::Retry, out[1] = answer::Cancel; return 2;
    default: out[0] = answer::Ok; return 1;
  }
}

int DefaultAnswer(int style) {
  int buttons[3];
  int count = BoxButtons(style, buttons);
  int index = (style & mb::DefButtonMask) >> 8;
  return buttons[index < count ? index : 0];
}

PlatformServices& Services() {
  PlatformServices* installed = current.load(std::memory_order_acquire);
  return installed ? *installed : DefaultHeadlessServices();
}

void SetServices(PlatformServices* services) { current.store(services, std::memory_order_release); }

FlowDialogs& Dialogs() {
  FlowDialogs* installed = currentDialogs.load(std::memory_order_acquire);
  return installed ? *installed : DefaultHeadlessServices();
}

void SetDialogs(FlowDialogs* dialogs) { currentDialogs.store(dialogs, std::memory_order_release); }

ReplacementFiles& FileReplacement() {
  static ReplacementFiles real;
  ReplacementFiles* installed = currentReplacement.load(std::memory_order_acquire);
  return installed ? *installed : real;
}

void SetFileReplacement(ReplacementFiles* files) {
  currentReplacement.store(files, std::memory_order_release);
}

}  // namespace lw
