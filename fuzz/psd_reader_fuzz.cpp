// Feeds arbitrary bytes to the PSD reader under every layer choice; whatever is read must write
// back as a PSD that reads again with as many frames.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"
#include "formats/psd/psd_format.h"
#include "platform/flow_dialogs.h"
#include "platform/services.h"

namespace {

// Quiet, and answers the layer question with the choice under test.
class ChoosingServices : public lw::PlatformServices, public lw::FlowDialogs {
 public:
  int MessageBox(lw::WindowHandle, const std::string& text, const std::string&, int) override {
    last = text;
    return lw::answer::Ok;
  }
  bool Interactive() const override { return false; }
  uint32_t AskPsdLayers(lw::WindowHandle, uint32_t) override { return options; }
  uint32_t options = 0;
  std::string last;
};

ChoosingServices& Services() {
  static ChoosingServices services;
  static const bool ready = [] {
    lw::SetServices(&services);
    lw::SetDialogs(&services);
    lw::SetPictureBudgetBytes(uint64_t{4} << 20);
    return true;
  }();
  (void)ready;
  return services;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ChoosingServices& services = Services();
  static const std::string base = "/tmp/lw-fuzz-" + std::to_string(::getpid()) + "-";
  const std::string in = base + "in.psd", out = base + "out.psd";
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  static const uint32_t kChoices[] = {0x2001, 0x1102, 0x2202, 0x0402, 0x6102};
  int owner = 0;
  for (uint32_t choice : kChoices) {
    services.options = choice;
    for (bool liveEdit : {false, true}) {
      lw::AnimationPtr doc;
      int status = lw::ReadPsd(in, {}, &owner, &doc, liveEdit, nullptr);
      if ((status == 0) != (doc == nullptr)) std::abort();
      if (!doc || doc->frameCount < 1) continue;
      if (!lw::WritePsd(out, *doc, false)) continue;  // a screen past the budget
      // What was written reads again, unless it is past the memory budget as layers.
      lw::AnimationPtr again;
      services.options = 0x0402;
      services.last.clear();
      if (lw::ReadPsd(out, {}, &owner, &again, false, nullptr) != 1) {
        if (services.last == lw::TableText(lw::str::PsdNoMemoryForImage)) continue;
        std::abort();
      }
      services.options = choice;
      if (again->frameCount != doc->frameCount) std::abort();
      if (again->screenWidth != doc->screenWidth) std::abort();
    }
  }
  return 0;
}
