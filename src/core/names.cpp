// Frame names: a process-wide table of reference-counted texts, handed out as small numbers so
// that frames, undo copies and the clipboard can share a name cheaply. Background workers read
// names, so every access takes the lock.
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/animation.h"

namespace lw {
namespace {

constexpr size_t TableSize = 0x10000 - FirstNameAtom;

struct NameEntry {
  std::string text;  // empty when the slot is free
  std::string key;   // text folded for comparison
  int references = 0;
};

struct NameTable {
  std::mutex lock;
  std::vector<NameEntry> entries;  // grows up to TableSize
  std::vector<size_t> freeSlots;
  std::unordered_map<std::string, size_t> byKey;
};

NameTable& Table() {
  static NameTable* table = new NameTable;  // never destroyed: frames may outlive static teardown
  return *table;
}

// Case folding for comparison: ASCII letters, and the Latin-1 capitals as UTF-8 (U+00C0..U+00DE
// except U+00D7), which is what French names use.
std::string FoldCase(const std::string& text) {
  std::string key = text;
  for (size_t i = 0; i < key.size(); ++i) {
    unsigned char c = key[i];
    if (c >= 'A' && c <= 'Z') {
      key[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < key.size()) {
      unsigned char d = key[i + 1];
      if (d >= 0x80 && d <= 0x9E && d != 0x97) key[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
  return key;
}

// Cuts at MaxNameLength bytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& text) {
  if (text.size() <= MaxNameLength) return text;
  size_t n = MaxNameLength;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

NameEntry* Find(NameTable& table, NameAtom atom) {
  if (atom < FirstNameAtom) return nullptr;
  size_t slot = atom - FirstNameAtom;
  if (slot >= table.entries.size() || table.entries[slot].references == 0) return nullptr;
  return &table.entries[slot];
}

}  // namespace

NameAtom AddNameAtom(const std::string& rawText) {
  if (rawText.empty()) return 0;
  NameTable& table = Table();
  try {
    std::string text = CutName(rawText);
    std::string key = FoldCase(text);
    std::lock_guard<std::mutex> hold(table.lock);
    auto found = table.byKey.find(key);
    if (found != table.byKey.end()) {
      ++table.entries[found->second].references;
      return static_cast<NameAtom>(FirstNameAtom + found->second);
    }
    size_t slot;
    if (!table.freeSlots.empty()) {
      slot = table.freeSlots.back();
    } else if (table.entries.size() < TableSize) {
      slot = table.entries.size();
      table.entries.emplace_back();
    } else {
      return 0;
    }
    table.byKey.emplace(key, slot);  // may throw; nothing is half-done before it
    if (!table.freeSlots.empty() && table.freeSlots.back() == slot) table.freeSlots.pop_back();
    NameEntry& entry = table.entries[slot];
    entry.text = std::move(text);
    entry.key = std::move(key);
    entry.references = 1;
    return static_cast<NameAtom>(FirstNameAtom + slot);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void AddNameReference(NameAtom atom) {
  NameTable& table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  if (NameEntry* entry = Find(table, atom)) ++entry->references;
}

void ReleaseNameAtom(NameAtom atom) {
  NameTable& table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  NameEntry* entry = Find(table, atom);
  if (!entry || --entry->references > 0) return;
  table.byKey.erase(entry->key);
  entry->text.clear();
  entry->key.clear();
  size_t slot = atom - FirstNameAtom;
  try {
    table.freeSlots.push_back(slot);
  } catch (const std::bad_alloc&) {
    // The slot stays unused; the table only loses one place.
  }
}

std::string NameAtomText(NameAtom atom) {
  NameTable& table = Table();
  try {
    std::lock_guard<std::mutex> hold(table.lock);
    NameEntry* entry = Find(table, atom);
    return entry ? entry->text : std::string();
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

int NameAtomReferences(NameAtom atom) {
  NameTable& table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  NameEntry* entry = Find(table, atom);
  return entry ? entry->references : 0;
}

}  // namespace lw
