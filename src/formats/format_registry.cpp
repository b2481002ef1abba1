#include "formats/format_registry.h"

#include <algorithm>
#include <fstream>

#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/ani/ani_format.h"
#include "formats/avi/avi_format.h"
#include "formats/avi/video_out_format.h"
#include "formats/bmp/bmp_format.h"
#include "formats/common/flow_text.h"
#include "formats/gif/gif_format.h"
#include "formats/ico/ico_format.h"
#include "formats/jpeg/jpeg_entry.h"
#include "formats/png/apng_format.h"
#include "formats/png/png_entry.h"
#include "formats/psd/psd_format.h"
#include "formats/strip/strip_format.h"
#include "formats/swf/swf_format.h"
#include "formats/webp/webp_format.h"

namespace lw {
namespace {

const FileFilter kAllFiles{TableText(str::FilterAllFiles), "*.*"};

template <typename Key>
std::vector<const FormatSpec*> SortedBy(Key key) {
  std::vector<const FormatSpec*> list;
  for (const FormatSpec& f : Formats()) {
    if (key(f) > 0) list.push_back(&f);
  }
  std::stable_sort(list.begin(), list.end(),
                   [&](const FormatSpec* a, const FormatSpec* b) { return key(*a) < key(*b); });
  return list;
}

// A format the "Importer de" menu opens alone, with its own filter.
FormatSpec Imported(FormatSpec format, int command, int order) {
  format.importCommand = command;
  format.importFilter = {format.openFilter, kAllFiles};
  format.importOrder = order;
  return format;
}

}  // namespace

// The registry. Extensions are tried, and listed under "Tous formats supportés", in this order.
const std::vector<FormatSpec>& Formats() {
  static const std::vector<FormatSpec> formats = {
      GifFormat(),
      AviFormat(),
      VideoFormat(),
      BmpFormat(),
      JpegFormat(),
      PsdFormat(),
      AniFormat(),  // animated cursors
      IcoFormat(),  // icons
      CurFormat(),  // cursors
      PngFormat(),
      SwfFormat(),
      StripFormat(),
      Imported(ApngFormat(), 40382, 12),  // "APNG..."
      Mp4Format(),                        // MP4 clips, written with H.264
      WebmFormat(),                       // WebM clips, written with VP9
      Imported(WebpFormat(), 40381, 11),  // "WebP..."
  };
  return formats;
}

const FormatSpec* FormatForPath(std::string_view path) {
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  std::string_view extension = path.substr(dot + 1);
  for (const FormatSpec& f : Formats()) {
    for (const std::string& e : f.extensions) {
      if (EqualsNoCase(extension, e)) return &f;
    }
  }
  return nullptr;
}

namespace {

// Entry 0: the type of no format.
constexpr SaveTypeInfo kNoSaveType{"dummy", "", "", 0};

// An MPEG transport stream: packets of 188 bytes, each opening with the sync byte 0x47. Three
// in a row make a text file (a Qt translation is XML) very unlikely.
bool IsTransportStream(const std::string& path) {
  constexpr size_t kPacket = 188, kPackets = 3;
  std::ifstream in(path, std::ios::binary);
  char head[kPacket * (kPackets - 1) + 1];
  if (!in.read(head, sizeof head)) return false;
  for (size_t k = 0; k < kPackets; ++k)
    if (static_cast<unsigned char>(head[k * kPacket]) != 0x47) return false;
  return true;
}

}  // namespace

const FormatSpec* FormatForFile(const std::string& path) {
  if (const FormatSpec* format = FormatForPath(path)) return format;
  // ".ts" names Qt's translations too, so the content decides.
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || !EqualsNoCase(std::string_view(path).substr(dot + 1), "ts") ||
      !IsTransportStream(path))
    return nullptr;
  for (const FormatSpec& f : Formats())
    if (std::string_view(f.id) == "video") return &f;
  return nullptr;
}

const SaveTypeInfo& SaveTypeEntry(int type) {
  const FormatSpec* format = FormatForSaveType(type);
  return format ? format->save : kNoSaveType;
}

uint32_t SaveTypeTraits(int type) { return SaveTypeEntry(type).traits; }

int SaveTypeCount() {
  static const int count = [] {
    int highest = 0;
    for (const FormatSpec& f : Formats()) highest = std::max(highest, f.saveType);
    return highest;
  }();
  return count;
}

const FormatSpec* FormatForSaveType(int type) {
  if (type < 1) return nullptr;
  for (const FormatSpec& f : Formats()) {
    if (f.saveType == type) return &f;
  }
  return nullptr;
}

std::vector<FileFilter> OpenFilters() {
  FileFilter every{TableText(str::FilterAllFormats), ""};
  for (const FormatSpec& f : Formats()) {
    for (const std::string& e : f.extensions) {
      if (!every.pattern.empty()) every.pattern += ';';
      every.pattern += "*." + e;
    }
  }
  std::vector<FileFilter> list{every};
  for (const FormatSpec* f : SortedBy([](const FormatSpec& f) { return f.openFilterOrder; })) {
    list.push_back(f->openFilter);
  }
  list.push_back(kAllFiles);
  return list;
}

std::vector<FileFilter> SaveFilters() {
  std::vector<FileFilter> list;
  for (int type = 1; type <= SaveTypeCount(); ++type) {
    const SaveTypeInfo& info = SaveTypeEntry(type);
    list.push_back({info.label, info.pattern});
  }
  return list;
}

std::vector<ImportCommand> ImportCommands() {
  std::vector<ImportCommand> list;
  for (const FormatSpec* f : SortedBy([](const FormatSpec& f) { return f.importOrder; })) {
    if (f->importCommand != 0)
      list.push_back({f->importCommand, f->importFilter, f->CanRead() || f->importOpensOthers});
  }
  return list;
}

std::vector<FileFilter> ImportFilter(int command) {
  for (const FormatSpec& f : Formats()) {
    if (command != 0 && f.importCommand == command) return f.importFilter;
  }
  return {};
}

}  // namespace lw
