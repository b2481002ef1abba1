// Headless services that a test scripts: every message and question is recorded (see
// HeadlessServices), and each dialog or file operation the engine asks of the desktop can be
// answered by a function the test sets. A ServicesScope installs one quietly for a test's life.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/progress.h"
#include "base/strings.h"
#include "formats/avi/video_import.h"
#include "platform/headless_services.h"

namespace lw::test {

class ScriptedServices : public HeadlessServices, public ReplacementFiles {
 public:
  // Event pumps: counted; the foreground progress is cancelled at pump number cancelAtPump.
  int pumps = 0;
  int cancelAtPump = 0;
  std::function<void()> onPump;
  void PumpEvents() override {
    if (++pumps == cancelAtPump) ProgressCancel();
    if (onPump) onPump();
  }

  // The progress popups the desktop would open; none unless a test makes them.
  std::function<std::unique_ptr<ProgressView>(WindowHandle)> popups;
  std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle owner) override {
    return popups ? popups(owner) : nullptr;
  }

  std::function<bool(const SaveAsRequest&, SaveAsChoice*)> saveAs;
  bool AskSaveAs(const SaveAsRequest& request, SaveAsChoice* choice) override {
    return saveAs ? saveAs(request, choice) : HeadlessServices::AskSaveAs(request, choice);
  }
  std::function<bool(const Animation&, const Animation&, MergeOptions*)> mergeOptions;
  bool AskMergeOptions(WindowHandle owner, const Animation& a, const Animation& b,
                       MergeOptions* options) override {
    return mergeOptions ? mergeOptions(a, b, options)
                        : HeadlessServices::AskMergeOptions(owner, a, b, options);
  }

  // The clip import dialog: its requests, in order, and the answer (the preset, OK, when unset).
  std::vector<std::string> videoImports;
  std::function<bool(VideoImportRequest*)> videoImport;
  bool AskVideoImport(WindowHandle owner, VideoImportRequest* request) override {
    videoImports.push_back(request->path);
    return videoImport ? videoImport(request) : HeadlessServices::AskVideoImport(owner, request);
  }

  // The safe replacement's file operations: the real ones unless the test injects its own.
  std::function<bool(const std::string&, const std::string&)> rename;
  std::function<bool(const std::string&)> remove;
  bool Rename(const std::string& from, const std::string& to) override {
    return rename ? rename(from, to) : ReplacementFiles::Rename(from, to);
  }
  bool Remove(const std::string& path) override {
    return remove ? remove(path) : ReplacementFiles::Remove(path);
  }

  // The texts of the messages shown, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const ShownMessage& m : Messages()) texts.push_back(m.text);
    return texts;
  }
};

// The texts of these ids, to compare with ScriptedServices::Texts().
inline std::vector<std::string> TextsOf(std::initializer_list<int> ids) {
  std::vector<std::string> texts;
  for (int id : ids) texts.push_back(ResText(id));
  return texts;
}

// Installs scripted services as the services, the dialogs and the file operations; nullptr puts
// the defaults back.
inline void InstallScripted(ScriptedServices* services) {
  SetServices(services);
  SetDialogs(services);
  SetFileReplacement(services);
}

// Installs quiet scripted services for its life.
struct ServicesScope {
  ScriptedServices services;
  ServicesScope() {
    services.SetEcho(false);
    InstallScripted(&services);
  }
  ~ServicesScope() { InstallScripted(nullptr); }
  ServicesScope(const ServicesScope&) = delete;
  ServicesScope& operator=(const ServicesScope&) = delete;
};

}  // namespace lw::test
