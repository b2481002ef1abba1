// The flows' fixture: a folder of the test's own, scripted services installed quietly, and a
// settings baseline every flow test starts from (the flows' own settings through Flows()).
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
#include "formats/document_session.h"
#include "formats/gif/gif_save.h"
#include "formats/merge.h"
#include "formats/save_flow.h"
#include "support/document.h"
#include "support/services.h"
#include "support/temp_dir.h"

namespace lw::test {

// Settings a test sets field by field; what a flow remembers lands in them.
class TestFlowSettings final : public FlowSettingsSource {
 public:
  FlowSettings Current() const override { return settings; }
  void KeepMergeChoice(bool byDuration, bool loopShorter) override {
    settings.mergeByDuration = byDuration;
    settings.mergeLoopShorter = loopShorter;
  }
  void KeepSaveAsChoice(int type, uint32_t optionBits) override {
    settings.saveAsType = type;
    settings.saveAsBits = optionBits;
  }
  void KeepFolderOf(const std::string& file) override {
    settings.fileFolder = file.substr(0, file.rfind('/') + 1);
  }
  void KeepRecentFile(const std::string& path) override {
    DropRecentFile(path);
    recent.insert(recent.begin(), path);
  }
  void DropRecentFile(const std::string& path) override { std::erase(recent, path); }
  FlowSettings settings;
  std::vector<std::string> recent;  // most recent first
};

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.Root();
    LoadPreferences();
    SetPref(PrefFlags, 0x00800000);
    flows_.settings.read.timing.defaultLoopCount = 7;
    flows_.settings.oversizeInsert = 32;
    flows_.settings.paletteFit.storedWord = 0x00880001;
    ClearHistory();
  }
  void TearDown() override { ClearHistory(); }

  ScriptedServices& Headless() { return scope_.services; }
  // The settings the flows of a state read: point the state at them with Use.
  FlowSettings& Flows() { return flows_.settings; }
  // The recent files the flows kept, most recent first.
  const std::vector<std::string>& RecentFiles() const { return flows_.recent; }
  DocumentSession& Use(DocumentSession& state) {
    state.settings = &flows_;
    return state;
  }
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
    EXPECT_TRUE(SaveGifToFile(path, *a, {}, nullptr)) << path;
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
  TestFlowSettings flows_;
  std::filesystem::path dir_;
};

}  // namespace lw::test
