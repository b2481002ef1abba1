// Services for fuzz targets: messages are dropped and no question waits for an answer.
#pragma once

#include <string>

#include "platform/services.h"

namespace lw::fuzz {

class QuietServices : public PlatformServices {
 public:
  int MessageBox(WindowHandle, const std::string&, const std::string&, int) override {
    return answer::Ok;
  }
  bool Interactive() const override { return false; }
};

// Installs them once for the process.
inline void InstallQuietServices() {
  static QuietServices quiet;
  SetServices(&quiet);
}

}  // namespace lw::fuzz
