// A temporary folder, GIF files written into it by the program's writer, and headless services
// that record what was shown and let a test answer the Save As and merge dialogs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/preferences.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "core/support_animation.h"
#include "core/undo.h"
#include "formats/gif/gif_save.h"
#include "formats/merge.h"
#include "formats/save_flow.h"
#include "platform/headless_services.h"

namespace lw::test {

using namespace lw::testing_support;

class ScriptedServices : public HeadlessServices {
 public:
  std::function<bool(const SaveAsRequest&, SaveAsChoice*)> saveAs;
  std::function<bool(const Animation&, const Animation&, MergeOptions*)> mergeOptions;

  bool AskSaveAs(const SaveAsRequest& request, SaveAsChoice* choice) override {
    return saveAs ? saveAs(request, choice) : HeadlessServices::AskSaveAs(request, choice);
  }
  bool AskMergeOptions(WindowHandle owner, const Animation& a, const Animation& b,
                       MergeOptions* options) override {
    return mergeOptions ? mergeOptions(a, b, options)
                        : HeadlessServices::AskMergeOptions(owner, a, b, options);
  }

  // The safe replacement's file operations, the real ones unless a test injects its own.
  std::function<bool(const std::string&, const std::string&)> rename;
  std::function<bool(const std::string&)> remove;
  std::function<void(int)> pause;
  bool ReplaceRename(const std::string& from, const std::string& to) override {
    return rename ? rename(from, to) : HeadlessServices::ReplaceRename(from, to);
  }
  bool ReplaceRemove(const std::string& path) override {
    return remove ? remove(path) : HeadlessServices::ReplaceRemove(path);
  }
  void ReplacePause(int ms) override { pause ? pause(ms) : HeadlessServices::ReplacePause(ms); }
};

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lw-flows-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    SetServices(&Headless());
    Headless().Reset();
    Headless().SetEcho(false);
    LoadPreferences();
    SetPref(PrefDefaultLoopCount, 7);
    SetPref(PrefOversizeInsert, 32);
    SetPref(PrefFlags, 0x00800000);
    SetPref(PrefPaletteMerge, 0x00880001);
    ClearHistory();
  }
  void TearDown() override {
    ClearHistory();
    Headless().Reset();
    Headless().saveAs = nullptr;
    Headless().mergeOptions = nullptr;
    Headless().rename = nullptr;
    Headless().remove = nullptr;
    Headless().pause = nullptr;
    SetServices(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  static ScriptedServices& Headless() {
    static ScriptedServices services;
    return services;
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

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

  static std::vector<std::string> FrameNames(const Animation& a) {
    std::vector<std::string> names;
    for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) names.push_back(FrameName(f));
    return names;
  }

  static std::vector<std::string> ShownTexts() {
    std::vector<std::string> texts;
    for (const ShownMessage& m : Headless().Messages()) texts.push_back(m.text);
    return texts;
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Put(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
  }

  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path dir_;
};

}  // namespace lw::test
