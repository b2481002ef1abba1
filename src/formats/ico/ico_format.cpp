#include "formats/ico/ico_format.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"
#include "formats/common/flow_text.h"
#include "formats/common/icon_image.h"
#include "platform/files.h"
#include "platform/flow_dialogs.h"

namespace lw {
namespace {

constexpr int kIconType = 1;
constexpr int kCursorType = 2;
// Far beyond any icon; a larger file is not read whole.
constexpr size_t kMaxIconFileSize = size_t{1} << 30;

uint64_t FrameBytes(const Frame& f) {
  return f.dib.size() + f.rgbPlane.size() + f.alphaPlane.size();
}

bool WriteIcoDocument(const std::string& path, const std::string& /*target*/, Animation& document,
                      SaveOptions& /*options*/, WindowHandle owner) {
  return WriteIconFile(path, document, true, owner);
}

bool WriteCurDocument(const std::string& path, const std::string& /*target*/, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  ApplyHotSpotChoice(document, options);
  return WriteIconFile(path, document, false, owner);
}

// The frames in writing order: those of one size together, sizes in order of first appearance.
std::vector<const Frame*> GroupedBySize(const Animation& document) {
  std::vector<const Frame*> frames;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) frames.push_back(f);
  std::vector<const Frame*> grouped;
  grouped.reserve(frames.size());
  std::vector<bool> taken(frames.size(), false);
  for (size_t i = 0; i < frames.size(); ++i) {
    if (taken[i]) continue;
    for (size_t j = i; j < frames.size(); ++j) {
      if (taken[j] || frames[j]->width != frames[i]->width ||
          frames[j]->height != frames[i]->height)
        continue;
      taken[j] = true;
      grouped.push_back(frames[j]);
    }
  }
  return grouped;
}

uint16_t HotSpotField(int32_t v) { return static_cast<uint16_t>(std::clamp(v, 0, 65535)); }

struct EntryPlan {
  const Frame* frame;
  int depth;
  uint8_t width, height, colours;
  uint16_t planes, bitCount;
  uint64_t size;
};

}  // namespace

int ReadIconBytes(const uint8_t* data, size_t size, const ReadOptions& options, WindowHandle owner,
                  AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  if (size < IconHeaderSize) {
    ShowError("%s", "error reading ICON header");
    return 0;
  }
  const int type = IconLe16(data + 2);
  if (IconLe16(data) != 0 || (type != kIconType && type != kCursorType)) {
    ShowError("%s", "Res type not an ICON/CURSOR");
    return 0;
  }
  const size_t count = IconLe16(data + 4);
  if ((size - IconHeaderSize) / IconEntrySize < count) {
    ShowError("%s", "error reading IconRes blocks");
    return 0;
  }
  AnimationPtr animation = NewAnimation();
  if (!animation) {
    ShowErrorId(str::NoFrameMemory);
    return 0;
  }
  ProgressSetRange(meter, static_cast<uint32_t>(count));
  bool troubleShown = false, dropped = false;
  uint64_t bytesKept = 0;
  uint32_t screenWidth = 0, screenHeight = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + IconHeaderSize + IconEntrySize * i;
    // 0 in a size field stands for 256.
    screenWidth = std::max<uint32_t>(screenWidth, entry[0] ? entry[0] : 256);
    screenHeight = std::max<uint32_t>(screenHeight, entry[1] ? entry[1] : 256);
    const uint64_t offset = IconLe32(entry + 12);
    uint64_t length = IconLe32(entry + 8);
    const uint64_t available = offset < size ? size - offset : 0;
    if (length > available) {
      // What is there is still worth a try: the mask may be all that is missing.
      if (!troubleShown) ShowError("%s", "Trouble reading icon data.");
      troubleShown = true;
      length = available;
    }
    AnimationPtr one;
    if (length > 0 && animation->frameCount < INT16_MAX) {
      const uint8_t* image = data + offset;
      one = FrameFromIconImage(image, length, IconImageHeight(image, length), options, owner);
    }
    Frame* frame = one ? FirstFrame(*one) : nullptr;
    if (frame && bytesKept + FrameBytes(*frame) > PictureBudgetBytes()) {
      ShowErrorId(str::NoFrameMemory);
      dropped = true;
      break;
    }
    if (!frame) {
      dropped = true;
    } else {
      bytesKept += FrameBytes(*frame);
      if (type == kCursorType) {
        frame->hotspotX = IconLe16(entry + 4);
        frame->hotspotY = IconLe16(entry + 6);
      }
      screenWidth = std::max(screenWidth, frame->width);
      screenHeight = std::max(screenHeight, frame->height);
      AppendIconFrame(*animation, *one);
    }
    if (!ProgressStep(meter)) {
      dropped = true;
      break;
    }
  }
  if (animation->frameCount == 0) {
    if (!troubleShown) ShowError("%s", "Trouble reading icon data.");
    return 0;
  }
  animation->screenWidth = screenWidth;
  animation->screenHeight = screenHeight;
  *out = std::move(animation);
  return dropped ? 2 : 1;
}

int ReadIconFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                 AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  std::string bytes;
  if (!ReadFileForReader(path, kMaxIconFileSize, &bytes)) return 0;
  return ReadIconBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options, owner,
                       out, meter);
}

bool WriteIconFile(const std::string& path, const Animation& document, bool iconMode,
                   WindowHandle owner) {
  std::vector<const Frame*> frames = GroupedBySize(document);
  if (frames.empty() || frames.size() > 65535) return false;

  std::vector<EntryPlan> plan;
  plan.reserve(frames.size());
  uint64_t offset = IconHeaderSize + IconEntrySize * frames.size();
  for (const Frame* f : frames) {
    EntryPlan e{f, IconDepth(*f), 0, 0, 0, 0, 0, 0};
    e.width = static_cast<uint8_t>(std::min<uint32_t>(f->width, 255));
    e.height = static_cast<uint8_t>(std::min<uint32_t>(f->height, 255));
    if (iconMode) {
      const bool small = e.depth == 1 || e.depth == 4;
      e.colours = small ? static_cast<uint8_t>(1 << e.depth) : 0;
      e.planes = small ? 0 : 1;
      e.bitCount = small ? 0 : static_cast<uint16_t>(e.depth);
    } else {
      e.planes = HotSpotField(f->hotspotX);
      e.bitCount = HotSpotField(f->hotspotY);
    }
    e.size = IconImageSize(e.depth, f->width, f->height);
    offset += e.size;
    plan.push_back(e);
  }
  if (offset > UINT32_MAX) {
    ShowError("%s", "Error writing out icon bits");
    return false;
  }

  // Two images the directory cannot tell apart are refused.
  std::string duplicates;
  for (size_t i = 0; i < plan.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      const EntryPlan &a = plan[i], &b = plan[j];
      if (a.width != b.width || a.height != b.height || a.colours != b.colours) continue;
      if (a.colours == 0 && a.depth != b.depth) continue;
      char line[64];
      std::snprintf(line, sizeof line, "\n\t%d x %d x bitcount %d", a.width, a.height, a.depth);
      if (duplicates.size() + std::string_view(line).size() + 40 < 500) duplicates += line;
      break;
    }
  }
  if (!duplicates.empty()) {
    Services().MessageBox(owner, "The following resolutions are duplicated" + duplicates,
                          "Duplicate Resolutions", mb::Ok | mb::IconExclamation | mb::TaskModal);
    return false;
  }

  std::vector<uint8_t> bytes;
  bool built = true;
  try {
    bytes.reserve(offset);
    PutIconLe16(&bytes, 0);
    PutIconLe16(&bytes, iconMode ? kIconType : kCursorType);
    PutIconLe16(&bytes, static_cast<uint32_t>(plan.size()));
    uint64_t at = IconHeaderSize + IconEntrySize * plan.size();
    for (const EntryPlan& e : plan) {
      bytes.insert(bytes.end(), {e.width, e.height, e.colours, 0});
      PutIconLe16(&bytes, e.planes);
      PutIconLe16(&bytes, e.bitCount);
      PutIconLe32(&bytes, static_cast<uint32_t>(e.size));
      PutIconLe32(&bytes, static_cast<uint32_t>(at));
      at += e.size;
    }
    for (const EntryPlan& e : plan) built = built && AppendIconImage(*e.frame, e.depth, &bytes);
  } catch (const std::bad_alloc&) {
    built = false;
  }
  bool written = false;
  if (built) {
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
      written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
      written = std::fclose(file) == 0 && written;
    }
  }
  if (!written) ShowError("%s", "Error writing out icon bits");
  return written;
}

bool DefineCursorHotSpot(WindowHandle owner, Animation& document) {
  Frame* first = FirstFrame(document);
  if (!first) return false;
  int x = std::clamp(first->hotspotX, 0, MaxHotSpot);
  int y = std::clamp(first->hotspotY, 0, MaxHotSpot);
  if (!Dialogs().AskCursorHotSpot(owner, document, &x, &y)) return false;
  first->hotspotX = std::clamp(x, 0, MaxHotSpot);
  first->hotspotY = std::clamp(y, 0, MaxHotSpot);
  return true;
}

FormatSpec IcoFormat() {
  FileFilter filter{TableText(str::FilterIco), "*.ico"};
  return {.id = "ico",
          .extensions = {"ico"},
          .reader = ReadIconFile,
          .openFilter = filter,
          .openFilterOrder = 8,
          .saveType = savetype::Ico,
          .save = {"ico", TableText(str::SaveFilterIco), "*.ico", 0},
          .writeDocument = WriteIcoDocument,
          .keepsNameWhenAnimated = true,
          .importCommand = 40133,
          .importFilter = {filter, {TableText(str::FilterAllFiles), "*.*"}},
          .importOrder = 7};
}

FormatSpec CurFormat() {
  // Read by the icon reader; the open dialogs list no entry of their own for cursors.
  return {.id = "cur",
          .extensions = {"cur"},
          .reader = ReadIconFile,
          .saveType = savetype::Cur,
          .save = {"cur", TableText(str::SaveFilterCur), "*.cur", savetrait::ExtraPanel},
          .writeDocument = WriteCurDocument,
          .importCommand = 40142,
          .importFilter = {{TableText(str::FilterCur), "*.cur"},
                           {TableText(str::FilterAllFilesEnglish), "*.*"}},
          .importOrder = 8,
          .optionsPanel = 284};  // the hot-spot panel
}

}  // namespace lw
