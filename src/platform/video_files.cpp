// The loader of the video module: found beside the installed program (bin/../lib/loopwright/) or,
// for a program run from its build tree, where the build puts it; loaded once, on first use, and
// kept until the process ends (the objects it made hold its code).
#include "platform/video_files.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/desktop_entries.h"
#include "platform/files.h"
#include "platform/memory_pages.h"
#include "platform/video_module.h"

namespace lw {
namespace {

struct ModuleState {
  std::once_flag once;
  VideoModule* module = nullptr;
  std::string problem;
  bool shortOfMemory = false;
};

ModuleState& State() {
  static ModuleState state;
  return state;
}

// Where the module may be, first found first taken.
std::vector<std::string> ModuleCandidates() {
  std::vector<std::string> list;
  const std::string program = GetProgramPath();
  if (!program.empty()) {
    const std::string folder = DirectoryPart(program);
    list.push_back(folder + "../lib/loopwright/" + kVideoModuleFile);
#ifdef LW_BUILD_TREE
    // Only a program of this build tree (the tests among them) takes the build's module: a
    // copy elsewhere behaves as installed.
    const std::string tree = LW_BUILD_TREE "/";
    if (folder.compare(0, tree.size(), tree) == 0)
      list.push_back(tree + "lib/loopwright/" + kVideoModuleFile);
#endif
  }
  return list;
}

// The loader's reasons when mapping the libraries ran out of room: its own words for the
// segments it could not map, or the system's text for ENOMEM (in the current language).
bool LoaderLackedMemory(const std::string& why) {
  for (const char* words : {"failed to map segment", "cannot map zero-fill pages",
                            "cannot allocate memory", "Cannot allocate memory"}) {
    if (why.find(words) != std::string::npos) return true;
  }
  return why.find(std::strerror(ENOMEM)) != std::string::npos;
}

void Load(ModuleState& state) {
  std::string tried;
  for (const std::string& path : ModuleCandidates()) {
    if (!FileExists(path)) {
      if (tried.empty()) tried = path;
      continue;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    // The heap's stretch for pictures may hold the room FFmpeg's libraries need.
    if (!handle && ReleaseHeapReserve()) handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      state.problem = why ? why : path;
      state.shortOfMemory = LoaderLackedMemory(state.problem);
      return;
    }
    auto entry = reinterpret_cast<VideoModuleEntryPoint>(::dlsym(handle, kVideoModuleEntry));
    state.module = entry ? entry(kVideoModuleVersion) : nullptr;
    if (!state.module) {
      ::dlclose(handle);
      state.problem = path;
    }
    return;
  }
  state.problem = tried.empty() ? std::string(kVideoModuleFile) : tried;
}

VideoModule* Module() {
  ModuleState& state = State();
  try {
    std::call_once(state.once, [&] { Load(state); });
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return state.module;
}

}  // namespace

bool VideoModuleReady() { return Module() != nullptr; }

std::string VideoModuleProblem() {
  ModuleState& state = State();
  return state.module ? std::string() : state.problem;
}

bool VideoModuleShortOfMemory() {
  ModuleState& state = State();
  return !state.module && state.shortOfMemory;
}

bool VideoModuleLoaded() { return State().module != nullptr; }

// FFmpeg's AVERROR(e) is -e where error numbers are positive, as here.
int VideoOutOfMemoryCode() { return -ENOMEM; }

std::unique_ptr<VideoFileReader> VideoFileReader::OpenFile(const std::string& path,
                                                           uint64_t maxPixels,
                                                           VideoOpenError* error) {
  VideoModule* module = Module();
  if (!module) {
    *error = VideoOpenError::NoModule;
    return nullptr;
  }
  return module->OpenFile(path, maxPixels, error);
}

std::unique_ptr<VideoFileReader> VideoFileReader::OpenMemory(const uint8_t* data, size_t size,
                                                             uint64_t maxPixels,
                                                             VideoOpenError* error) {
  VideoModule* module = Module();
  if (!module) {
    *error = VideoOpenError::NoModule;
    return nullptr;
  }
  return module->OpenMemory(data, size, maxPixels, error);
}

bool HasAudioStream(const std::string& path) {
  VideoModule* module = Module();
  return module && module->HasAudioStream(path);
}

std::vector<AviEncoderChoice> AviVideoEncoders() {
  VideoModule* module = Module();
  return module ? module->AviVideoEncoders() : std::vector<AviEncoderChoice>{};
}

std::unique_ptr<AviFileWriter> AviFileWriter::Create(const std::string& path,
                                                     const AviVideoSpec& layout, int* error,
                                                     bool* fileFailed) {
  if (fileFailed) *fileFailed = false;
  VideoModule* module = Module();
  if (!module) {
    *error = -ENOSYS;
    return nullptr;
  }
  return module->CreateAvi(path, layout, error, fileFailed);
}

const char* ClipEncoderName(ClipCodec codec) {
  return codec == ClipCodec::Vp9 ? "libvpx-vp9" : "libx264";
}

bool HasClipEncoder(ClipCodec codec) {
  VideoModule* module = Module();
  return module && module->HasClipEncoder(codec);
}

std::unique_ptr<ClipFileWriter> ClipFileWriter::Create(const std::string& path,
                                                       const ClipShape& shape, ClipError* error) {
  VideoModule* module = Module();
  if (!module) {
    *error = ClipError::NoModule;
    return nullptr;
  }
  return module->CreateClip(path, shape, error);
}

}  // namespace lw
