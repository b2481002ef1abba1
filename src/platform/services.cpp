#include "platform/services.h"

#include <cstdio>

namespace lw {
namespace {

class StderrServices : public PlatformServices {
 public:
  int MessageBox(WindowHandle, const std::string& text, const std::string&, int style) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    switch (style & mb::ButtonMask) {
      case mb::YesNo: case mb::YesNoCancel: return answer::Yes;
      default: return answer::Ok;
    }
  }
  bool Interactive() const override { return false; }
};

StderrServices fallback;
PlatformServices* current = &fallback;

}  // namespace

PlatformServices& Services() { return *current; }
void SetServices(PlatformServices* services) { current = services ? services : &fallback; }

}  // namespace lw
