// The fixture of the core tests: default preferences before and after each test, quiet scripted
// services, and the GIF reader called as the open command calls it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/messages.h"
#include "base/preferences.h"
#include "core/gif_reader.h"
#include "platform/settings_store.h"
#include "support/document.h"
#include "support/fresh_preferences.h"
#include "support/services.h"

namespace lw::test {

// Each test starts on the default preferences: the store a test wrote goes.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshPreferences(); }
  void TearDown() override { FreshPreferences(); }
  std::vector<std::string> Texts() const { return scope_.services.Texts(); }
  ServicesScope scope_;
  ScriptedServices& services_ = scope_.services;
};

// Reads as the open command does: the messages the reader gives back are shown, in order.
inline GifReadStatus ReadBytes(const std::vector<uint8_t>& bytes, AnimationPtr* out,
                               ProgressMeter* progress = nullptr,
                               const GifReadOptions& options = {}) {
  std::vector<int> messages;
  GifReadStatus status =
      ReadGifMemory(bytes.data(), bytes.size(), progress, out, options, &messages);
  for (int id : messages) ShowErrorId(id);
  return status;
}

}  // namespace lw::test
