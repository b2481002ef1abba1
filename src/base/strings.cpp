#include "base/strings.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

namespace lw {
namespace {

using detail::StringEntry;
constexpr const auto& kStrings = detail::kStringTable;

constexpr bool SortedAndUnique() {
  for (std::size_t i = 1; i < std::size(kStrings); ++i) {
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  }
  return true;
}
static_assert(SortedAndUnique(), "string table entries must be sorted by id without repeats");

// The shared buffer holds 511 bytes of text and the terminating zero.
constexpr std::size_t kBufferSize = 512;

// Longest prefix of text[0..length) that fits in limit bytes without splitting a UTF-8 sequence.
constexpr std::size_t CutAtCharBoundary(const char* text, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  std::size_t cut = limit;
  // Back off over continuation bytes (10xxxxxx) to the lead byte of the cut character.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}
static_assert(CutAtCharBoundary("abc", 3, 2) == 2);
static_assert(CutAtCharBoundary("ab\xC3\xA9", 4, 3) == 2);      // é split after its lead byte
static_assert(CutAtCharBoundary("ab\xC3\xA9z", 5, 4) == 4);     // é fits whole
static_assert(CutAtCharBoundary("a\xE2\x80\x99x", 5, 3) == 1);  // ’ split after two of three bytes
static_assert(CutAtCharBoundary("ab", 2, 511) == 2);

const char* Find(int id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const StringEntry& e, int key) { return e.id < key; });
  if (it == std::end(kStrings) || it->id != id) return nullptr;
  return it->text;
}

}  // namespace

const char* LoadResText(int id) {
  const char* text = Find(id);
  if (text == nullptr) return nullptr;
  thread_local char buffer[kBufferSize];
  std::size_t n = CutAtCharBoundary(text, std::strlen(text), kBufferSize - 1);
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return buffer;
}

std::string ResText(int id) {
  const char* text = Find(id);
  return text == nullptr ? std::string() : std::string(text);
}

}  // namespace lw
