// The flows' fixture: a folder of the test's own, scripted services installed quietly, and a
// settings baseline every flow test starts from.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/preferences.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "formats/gif/gif_save.h"
#include "formats/merge.h"
#include "formats/save_flow.h"
#include "support/document.h"
#include "support/services.h"
#include "support/temp_dir.h"

namespace lw::test {

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.Root();
    LoadPreferences();
    SetPref(PrefDefaultLoopCount, 7);
    SetPref(PrefOversizeInsert, 32);
    SetPref(PrefFlags, 0x00800000);
    SetPref(PrefPaletteMerge, 0x00880001);
    ClearHistory();
  }
  void TearDown() override { ClearHistory(); }

  ScriptedServices& Headless() { return scope_.services; }
  std::string Path(const std::string& name) const { return temp_.Path(name); }
  static void Put(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
  }
  std::vector<std::string> ShownTexts() const { return scope_.services.Texts(); }
  std::vector<std::string> FolderNames() const { return temp_.Names(); }

  // Writes a document of frames solid-filled with the given indexes (w x h at (0, 0)).
  std::string WriteSolidGif(const std::string& name, uint32_t w, uint32_t h,
                            const std::vector<uint8_t>& indexes, uint32_t delay = 10) {
    AnimationPtr a = MakeDocument(w, h);
    for (uint8_t index : indexes) AddSolidFrame(*a, 0, 0, w, h, index)->delay = delay;
    std::string path = Path(name);
    EXPECT_TRUE(SaveGifToFile(path, *a, nullptr)) << path;
    return path;
  }

  static AnimationPtr ReadBack(const std::string& path) {
    GifSource source;
    AnimationPtr out;
    if (!source.Open(path) || !IsGifFile(source)) return nullptr;
    if (ReadGif(source, nullptr, &out) != GifReadStatus::Done) return nullptr;
    return out;
  }

  TempDir temp_;
  ServicesScope scope_;
  std::filesystem::path dir_;
};

}  // namespace lw::test
