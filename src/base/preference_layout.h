// Where each preference sits in the stored words: the words, the bits and fields inside them,
// and how to read or set them in a word held apart from the store. Reads nothing: the engine
// layers use it to lay out words that the shell then stores.
#pragma once

#include <bit>
#include <cstdint>

namespace lw {

// Indexes of the preference words.
enum PrefIndex : int {
#define LW_PREF_WORD(name, index, def) name = index,
#include "base/preference_table.inc"
};

constexpr int PrefWordCount = 23;     // words written back
constexpr int PrefWordCapacity = 29;  // words a stored value may hold

// Bits inside the words, and fields of several bits holding a number.
enum class Pref : int {
#define LW_PREF_BIT(name, word, mask) name,
#include "base/preference_table.inc"
};
enum class PrefField : int {
#define LW_PREF_FIELD(name, word, mask) name,
#include "base/preference_table.inc"
};

struct PrefRow {
  const char* name;
  PrefIndex word;
  uint32_t mask;
};
inline constexpr PrefRow PrefBitRows[] = {
#define LW_PREF_BIT(name, word, mask) {#name, word, mask},
#include "base/preference_table.inc"
};
inline constexpr PrefRow PrefFieldRows[] = {
#define LW_PREF_FIELD(name, word, mask) {#name, word, mask},
#include "base/preference_table.inc"
};

constexpr PrefIndex WordOf(Pref bit) { return PrefBitRows[static_cast<int>(bit)].word; }
constexpr uint32_t MaskOf(Pref bit) { return PrefBitRows[static_cast<int>(bit)].mask; }
constexpr PrefIndex WordOf(PrefField f) { return PrefFieldRows[static_cast<int>(f)].word; }
constexpr uint32_t MaskOf(PrefField f) { return PrefFieldRows[static_cast<int>(f)].mask; }

// The same bits and fields in a word held apart from the store (a word being built, a dialog's
// word before it is stored).
constexpr bool BitIn(uint32_t word, Pref bit) { return (word & MaskOf(bit)) != 0; }
constexpr uint32_t WithBit(uint32_t word, Pref bit, bool on) {
  return on ? word | MaskOf(bit) : word & ~MaskOf(bit);
}
constexpr uint32_t FieldIn(uint32_t word, PrefField f) {
  return (word & MaskOf(f)) >> std::countr_zero(MaskOf(f));
}
constexpr uint32_t WithField(uint32_t word, PrefField f, uint32_t value) {
  return (word & ~MaskOf(f)) | ((value << std::countr_zero(MaskOf(f))) & MaskOf(f));
}

}  // namespace lw
