#include "formats/format_registry.h"

#include <algorithm>

#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/avi/avi_format.h"
#include "formats/bmp/bmp_format.h"
#include "formats/flow_text.h"
#include "formats/gif/gif_format.h"
#include "formats/jpeg/jpeg_format.h"
#include "formats/png/png_format.h"

namespace lw {
namespace {

const FileFilter kAllFiles{TableText(str::FilterAllFiles), "*.*"};
const FileFilter kAllFilesEnglish{TableText(str::FilterAllFilesEnglish), "*.*"};

std::vector<FileFilter> WithAllFiles(const FileFilter& filter) { return {filter, kAllFiles}; }

// Formats whose readers and writers are not built yet. They keep their places in the dialogs'
// lists and their save types, but their files are refused like unknown ones and their saves
// fail with the write message. Each goes once its folder brings the real FormatSpec.
FormatSpec PendingPsd() {
  FileFilter filter{TableText(str::FilterPsd), "*.psd"};
  return {.id = "psd",
          .extensions = {"psd"},
          .openFilter = filter,
          .openFilterOrder = 5,
          .saveType = savetype::Psd,
          .save = {"psd", TableText(str::SaveFilterPsd), "*.psd", 0},
          .keepsNameWhenAnimated = true,
          .importCommand = 40112,
          .importFilter = WithAllFiles(filter),
          .importOrder = 5};
}

// Animated cursors, icons and cursors: one folder (icon/), three formats.
FormatSpec PendingAni() {
  FileFilter filter{TableText(str::FilterAni), "*.ani"};
  return {.id = "ani",
          .extensions = {"ani"},
          .openFilter = filter,
          .openFilterOrder = 7,
          .saveType = savetype::Ani,
          .save = {"ani", TableText(str::SaveFilterAni), "*.ani", savetrait::ExtraPanel},
          .keepsNameWhenAnimated = true,
          .importCommand = 40118,
          .importFilter = WithAllFiles(filter),
          .importOrder = 9};
}

FormatSpec PendingIco() {
  FileFilter filter{TableText(str::FilterIco), "*.ico"};
  return {.id = "ico",
          .extensions = {"ico"},
          .openFilter = filter,
          .openFilterOrder = 8,
          .saveType = savetype::Ico,
          .save = {"ico", TableText(str::SaveFilterIco), "*.ico", 0},
          .keepsNameWhenAnimated = true,
          .importCommand = 40133,
          .importFilter = WithAllFiles(filter),
          .importOrder = 7};
}

FormatSpec PendingCur() {
  // Read by the icon reader; the open dialogs list no entry of their own for cursors.
  return {.id = "cur",
          .extensions = {"cur"},
          .saveType = savetype::Cur,
          .save = {"cur", TableText(str::SaveFilterCur), "*.cur", savetrait::ExtraPanel},
          .importCommand = 40142,
          .importFilter = {{TableText(str::FilterCur), "*.cur"}, kAllFilesEnglish},
          .importOrder = 8};
}

FormatSpec PendingSwf() {
  return {.id = "swf",
          .saveType = savetype::Swf,
          .save = {"swf", TableText(str::SaveFilterSwf), "*.swf", 0}};
}

// A strip is a GIF or BMP image cut into frames after it is read.
FormatSpec PendingStrip() {
  return {.id = "strip",
          .importCommand = 40111,
          .importFilter = {{TableText(str::FilterStrips), "*.gif;*.bmp"},
                           {TableText(str::FilterGifStrips), "*.gif"},
                           {TableText(str::FilterBmpStrips), "*.bmp"},
                           kAllFilesEnglish},
          .importOrder = 4};
}

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

}  // namespace

// The registry. Extensions are tried, and listed under "Tous formats supportés", in this order.
const std::vector<FormatSpec>& Formats() {
  static const std::vector<FormatSpec> formats = {
      GifFormat(),  AviFormat(), VideoFormat(), BmpFormat(), JpegFormat(), PendingPsd(),
      PendingAni(), PendingIco(), PendingCur(), PngFormat(), PendingSwf(), PendingStrip(),
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

const FormatSpec* FormatForSaveType(int type) {
  if (type < 1 || type > savetype::Count) return nullptr;
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
  for (int type = 1; type <= savetype::Count; ++type) {
    const SaveTypeInfo& info = SaveTypeEntry(type);
    list.push_back({info.label, info.pattern});
  }
  return list;
}

std::vector<ImportCommand> ImportCommands() {
  std::vector<ImportCommand> list;
  for (const FormatSpec* f : SortedBy([](const FormatSpec& f) { return f.importOrder; })) {
    if (f->importCommand != 0) list.push_back({f->importCommand, f->importFilter, f->CanRead()});
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
