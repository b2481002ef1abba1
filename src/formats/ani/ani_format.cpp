#include "formats/ani/ani_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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

namespace lw {
namespace {

constexpr size_t kAniHeaderSize = 36;
constexpr size_t kMaxAniFileSize = size_t{1} << 30;
constexpr uint32_t kFramesAreIcons = 1;
constexpr uint32_t kJiffiesPerSecond = 60;

struct Span {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

bool Is(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Calls visit(id, body) for each chunk between from and to; false when a chunk runs past to.
template <typename Visit>
bool ForEachChunk(const uint8_t* from, const uint8_t* to, Visit visit) {
  while (to - from >= 8) {
    const uint32_t length = IconLe32(from + 4);
    const uint8_t* body = from + 8;
    if (length > static_cast<size_t>(to - body)) return false;
    if (!visit(from, Span{body, length})) return false;
    const size_t padded = length + (length & 1);
    if (padded >= static_cast<size_t>(to - body)) break;
    from = body + padded;
  }
  return true;
}

uint64_t FrameBytes(const Frame& f) {
  return f.dib.size() + f.rgbPlane.size() + f.alphaPlane.size();
}

int Damaged() {
  ShowErrorId(str::AniDamaged);
  return 0;
}

// The first image of an icon chunk (a whole ICO or CUR file) as a frame with its hot spot.
AnimationPtr FrameFromIconChunk(Span icon, const ReadOptions& options, WindowHandle owner) {
  if (icon.size < IconHeaderSize + IconEntrySize) return nullptr;
  const int type = IconLe16(icon.data + 2);
  if (IconLe16(icon.data) != 0 || (type != 1 && type != 2) || IconLe16(icon.data + 4) == 0)
    return nullptr;
  const uint8_t* entry = icon.data + IconHeaderSize;
  const uint64_t length = IconLe32(entry + 8), offset = IconLe32(entry + 12);
  if (offset > icon.size || length > icon.size - offset || length == 0) return nullptr;
  const uint8_t* image = icon.data + offset;
  AnimationPtr one =
      FrameFromIconImage(image, length, IconImageHeight(image, length), options, owner);
  if (one && type == 2) {
    FirstFrame(*one)->hotspotX = IconLe16(entry + 4);
    FirstFrame(*one)->hotspotY = IconLe16(entry + 6);
  }
  return one;
}

bool WriteAniDocument(const std::string& path, const std::string& /*target*/, Animation& document,
                      SaveOptions& options, WindowHandle owner) {
  ApplyHotSpotChoice(document, options);
  return WriteAniFile(path, document, options.settings.timing.units, owner);
}

void PutId(std::vector<uint8_t>* out, const char* id) { out->insert(out->end(), id, id + 4); }

}  // namespace

int ReadAniBytes(const uint8_t* data, size_t size, const ReadOptions& options, WindowHandle owner,
                 AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  if (!data || size < 12 || !Is(data, "RIFF") || !Is(data + 8, "ACON")) return Damaged();
  const uint8_t* end = data + std::min<uint64_t>(size, uint64_t{8} + IconLe32(data + 4));

  Span header, rates, sequence;
  std::vector<Span> icons;
  std::string title, author;  // read, as the format has them; nothing shows them
  bool parsed = ForEachChunk(data + 12, end, [&](const uint8_t* chunk, Span body) {
    if (Is(chunk, "anih")) {
      header = body;
    } else if (Is(chunk, "rate")) {
      rates = body;
    } else if (Is(chunk, "seq ")) {
      sequence = body;
    } else if (Is(chunk, "LIST") && body.size >= 4) {
      const bool frames = Is(body.data, "fram"), info = Is(body.data, "INFO");
      return ForEachChunk(body.data + 4, body.data + body.size, [&](const uint8_t* sub, Span s) {
        if (frames && Is(sub, "icon")) {
          icons.push_back(s);
        } else if (info && (Is(sub, "INAM") || Is(sub, "IART"))) {
          std::string text(reinterpret_cast<const char*>(s.data),
                           strnlen(reinterpret_cast<const char*>(s.data), s.size));
          (Is(sub, "INAM") ? title : author) = text;
        }
        return true;
      });
    }
    return true;
  });
  if (!parsed || header.size < kAniHeaderSize) return Damaged();
  const uint32_t frameCount = IconLe32(header.data + 4);
  uint32_t stepCount = IconLe32(header.data + 8);
  const uint32_t defaultRate = IconLe32(header.data + 28);
  if (!(IconLe32(header.data + 32) & kFramesAreIcons) || frameCount == 0 || icons.empty())
    return Damaged();
  if (stepCount == 0) stepCount = frameCount;
  if (stepCount > INT16_MAX) return Damaged();

  std::vector<uint32_t> stepRate(stepCount, defaultRate), stepIcon(stepCount);
  for (uint32_t i = 0; i < stepCount; ++i) {
    stepIcon[i] = i;
    if (i < rates.size / 4) stepRate[i] = IconLe32(rates.data + 4 * i);
    if (i < sequence.size / 4) stepIcon[i] = IconLe32(sequence.data + 4 * i);
  }

  AnimationPtr animation = NewAnimation();
  if (!animation) return Damaged();
  // The screen is the first icon's size as its directory gives it (0 standing for 256).
  if (icons[0].size >= IconHeaderSize + IconEntrySize) {
    const uint8_t* entry = icons[0].data + IconHeaderSize;
    animation->screenWidth = entry[0] ? entry[0] : 256;
    animation->screenHeight = entry[1] ? entry[1] : 256;
  }
  ProgressSetRange(meter, stepCount);
  const uint32_t units = options.timing.units.perSecond;
  uint64_t bytesKept = 0;
  bool stopped = false;
  for (uint32_t i = 0; i < stepCount; ++i) {
    if (stepIcon[i] >= icons.size()) return Damaged();
    // A frame shown by several steps is decoded once per step: each step is a frame to edit.
    AnimationPtr one = FrameFromIconChunk(icons[stepIcon[i]], options, owner);
    if (!one) return Damaged();
    Frame* frame = FirstFrame(*one);
    bytesKept += FrameBytes(*frame);
    if (bytesKept > PictureBudgetBytes()) {
      ShowErrorId(str::NoFrameMemory);
      return 0;
    }
    frame->delay = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{stepRate[i]} * units / kJiffiesPerSecond, 65535));
    AppendIconFrame(*animation, *one);
    // Esc keeps the steps read so far, as a partial read: the document must not take the
    // file's name, or Save would write the shortened animation over it.
    if (!ProgressStep(meter) && i + 1 < stepCount) {
      stopped = true;
      break;
    }
  }
  if (animation->frameCount == 0) return Damaged();
  *out = std::move(animation);
  return stopped ? 2 : 1;
}

int ReadAniFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  std::string bytes;
  if (!ReadFileForReader(path, kMaxAniFileSize, &bytes)) return 0;
  return ReadAniBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options, owner,
                      out, meter);
}

bool WriteAniFile(const std::string& path, const Animation& document, DelayUnits units,
                  WindowHandle /*owner*/) {
  std::vector<const Frame*> frames;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) frames.push_back(f);
  if (frames.empty()) return false;
  const uint32_t count = static_cast<uint32_t>(frames.size());
  // Every step shows the first frame's hot spot.
  const uint16_t hotX = static_cast<uint16_t>(std::clamp(frames[0]->hotspotX, 0, 65535));
  const uint16_t hotY = static_cast<uint16_t>(std::clamp(frames[0]->hotspotY, 0, 65535));

  std::vector<uint8_t> list;  // the "fram" list's body
  bool built = true;
  try {
    PutId(&list, "fram");
    for (const Frame* f : frames) {
      const bool trueColour = IconDepth(*f) >= 24;
      const int depth = trueColour ? IconDepth(*f) : 8;
      const uint64_t image = IconImageSize(depth, f->width, f->height);
      const uint64_t chunk = IconHeaderSize + IconEntrySize + image;
      if (chunk + list.size() > UINT32_MAX / 2) {
        built = false;
        break;
      }
      PutId(&list, "icon");
      PutIconLe32(&list, static_cast<uint32_t>(chunk));
      PutIconLe16(&list, 0);
      PutIconLe16(&list, 2);
      PutIconLe16(&list, 1);
      list.push_back(static_cast<uint8_t>(std::min<uint32_t>(f->width, 255)));
      list.push_back(static_cast<uint8_t>(std::min<uint32_t>(f->height, 255)));
      list.push_back(trueColour ? 0 : 255);
      list.push_back(0);
      PutIconLe16(&list, hotX);
      PutIconLe16(&list, hotY);
      PutIconLe32(&list, static_cast<uint32_t>(image));
      PutIconLe32(&list, IconHeaderSize + IconEntrySize);
      if (!AppendIconImage(*f, depth, &list)) {
        built = false;
        break;
      }
      if (chunk & 1) list.push_back(0);
    }
  } catch (const std::bad_alloc&) {
    built = false;
  }
  if (!built) {
    ShowError("%s", "Error writing out icon bits");
    return false;
  }

  std::vector<uint8_t> head;
  const uint64_t riffSize = 4 + (8 + kAniHeaderSize) + (8 + 4 * uint64_t{count}) + 8 + list.size();
  PutId(&head, "RIFF");
  PutIconLe32(&head, static_cast<uint32_t>(riffSize));
  PutId(&head, "ACON");
  PutId(&head, "anih");
  PutIconLe32(&head, kAniHeaderSize);
  const uint32_t fields[9] = {kAniHeaderSize,        count, count, document.screenWidth,
                              document.screenHeight, 8,     1,     1,
                              kFramesAreIcons};
  for (uint32_t v : fields) PutIconLe32(&head, v);
  PutId(&head, "rate");
  PutIconLe32(&head, 4 * count);
  for (const Frame* f : frames)
    PutIconLe32(&head,
                static_cast<uint32_t>(uint64_t{f->delay} * kJiffiesPerSecond / units.perSecond));
  PutId(&head, "LIST");
  PutIconLe32(&head, static_cast<uint32_t>(list.size()));

  bool written = false;
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    written = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
              std::fwrite(list.data(), 1, list.size(), file) == list.size();
    written = std::fclose(file) == 0 && written;
  }
  if (!written) ShowError("%s", "Error writing out icon bits");
  return written;
}

FormatSpec AniFormat() {
  FileFilter filter{TableText(str::FilterAni), "*.ani"};
  return {.id = "ani",
          .extensions = {"ani"},
          .reader = ReadAniFile,
          .openFilter = filter,
          .openFilterOrder = 7,
          .saveType = savetype::Ani,
          .save = {"ani", TableText(str::SaveFilterAni), "*.ani", savetrait::ExtraPanel},
          .writeDocument = WriteAniDocument,
          .keepsNameWhenAnimated = true,
          .importCommand = 40118,
          .importFilter = {filter, {TableText(str::FilterAllFiles), "*.*"}},
          .importOrder = 9,
          .optionsPanel = 284};  // the hot-spot panel
}

}  // namespace lw
