// The octree quantizer and its locked-colour variant.
#include <algorithm>
#include <new>

#include "colour/colour_engine.h"
#include "core/alpha_rule.h"

namespace lw {

struct OctreeQuantizer::Node {
  bool leaf = false;
  bool locked = false;
  double pixelCount = 0;
  double red = 0, green = 0, blue = 0;
  double passCount = 0;
  Node* child[8] = {};
  int index = 0;
  Node* nextInLevel = nullptr;
  PaletteEntry lockedColour;
};

OctreeQuantizer::OctreeQuantizer(int maxColours, int depth)
    : OctreeQuantizer(maxColours, depth, false) {}

OctreeQuantizer::OctreeQuantizer(int maxColours, int depth, bool lockedVariant)
    : locked_(lockedVariant),
      depth_(std::clamp(depth, 1, 8)),
      maxLeaves_(std::clamp(maxColours, 1, 256)) {
  root_ = NewNode(0);
}

OctreeQuantizer::~OctreeQuantizer() { FreeNode(root_); }

OctreeQuantizer::Node* OctreeQuantizer::NewNode(int level) {
  Node* node = new (std::nothrow) Node;
  if (!node) {
    failed_ = true;
    return nullptr;
  }
  if (level >= depth_) {
    node->leaf = true;
    ++leafCount_;
  } else if (level > 0) {
    node->nextInLevel = mergeable_[level];
    mergeable_[level] = node;
  }
  return node;
}

void OctreeQuantizer::FreeNode(Node* node) {
  if (!node) return;
  for (Node* c : node->child) FreeNode(c);
  delete node;
}

static int ChildIndex(uint8_t r, uint8_t g, uint8_t b, int level) {
  int bit = 7 - level;
  return (((r >> bit) & 1) << 2) | (((g >> bit) & 1) << 1) | ((b >> bit) & 1);
}

void OctreeQuantizer::NoteExactColour(uint32_t key) {
  if (exactOverflow_) return;
  constexpr uint32_t kSlots = 512;  // at most 257 in use: probes stay short
  if (exactSlots_.empty()) {
    try {
      exactSlots_.assign(kSlots, kNoColour);
    } catch (const std::bad_alloc&) {
      exactOverflow_ = true;
      return;
    }
  }
  uint32_t slot = (key * 2654435761u) >> 23;
  while (exactSlots_[slot] != kNoColour) {
    if (exactSlots_[slot] == key) return;
    slot = (slot + 1) % kSlots;
  }
  if (++exactCount_ > 256) {
    exactOverflow_ = true;
    exactSlots_ = {};
    return;
  }
  exactSlots_[slot] = key;
}

void OctreeQuantizer::AddColour(uint8_t red, uint8_t green, uint8_t blue, double weight,
                                bool locked) {
  if (failed_ || !root_) return;
  if (exactWanted_ && !locked_) NoteExactColour(uint32_t{red} << 16 | uint32_t{green} << 8 | blue);
  Node* node = root_;
  bool created = false;
  for (int level = 0; !node->leaf; ++level) {
    node->passCount += weight;
    Node*& next = node->child[ChildIndex(red, green, blue, level)];
    if (!next) {
      next = NewNode(level + 1);
      if (!next) return;
      created = true;
    }
    node = next;
  }
  node->pixelCount += weight;
  node->red += weight * red;
  node->green += weight * green;
  node->blue += weight * blue;
  if (locked && locked_) {
    node->locked = true;
    node->lockedColour = {red, green, blue, 0};
  }
  if (created) {
    while (leafCount_ > maxLeaves_ && MergeOne()) {
    }
  }
}

void OctreeQuantizer::AddImage(uint32_t width, uint32_t height, const uint8_t* rgbRows,
                               uint64_t rgbStride, const uint8_t* alphaRows, uint64_t alphaStride) {
  if (!rgbRows || rgbStride < uint64_t{3} * width) return;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* p = rgbRows + y * rgbStride;
    const uint8_t* alpha = alphaRows ? alphaRows + y * alphaStride : nullptr;
    for (uint32_t x = 0; x < width; ++x, p += 3) {
      if (alpha && IsClearAlpha(alpha[x])) continue;
      AddColour(p[2], p[1], p[0], 1);
    }
  }
}

void OctreeQuantizer::AddPalette(const Palette& palette, const uint32_t* usage) {
  if (!usage) return;
  int n = std::min(palette.Count(), 256);
  for (int i = 0; i < n; ++i) {
    if (usage[i] == 0) continue;
    const PaletteEntry& e = palette.entries[i];
    AddColour(e.red, e.green, e.blue, usage[i]);
  }
}

static int LockedLeafChildren(const OctreeQuantizer::Node* node);

OctreeQuantizer::Node* OctreeQuantizer::MergeCandidate(int level) {
  Node* candidate = mergeable_[level];
  if (!locked_) {
    for (Node* n = candidate->nextInLevel; n; n = n->nextInLevel) {
      if (n->passCount < candidate->passCount) candidate = n;
    }
    return candidate;
  }
  // Two locked colours are only merged when no node of the level holding at most one locked leaf
  // is left: such a node replaces a first candidate that holds more, whatever its count.
  bool candidateFree = LockedLeafChildren(candidate) <= 1;
  for (Node* n = candidate->nextInLevel; n; n = n->nextInLevel) {
    if (LockedLeafChildren(n) > 1) continue;
    if (!candidateFree || n->passCount < candidate->passCount) {
      candidate = n;
      candidateFree = true;
    }
  }
  return candidate;
}

void OctreeQuantizer::Unlist(Node* node) {
  for (Node*& head : mergeable_) {
    for (Node** link = &head; *link; link = &(*link)->nextInLevel) {
      if (*link == node) {
        *link = node->nextInLevel;
        node->nextInLevel = nullptr;
        return;
      }
    }
  }
}

void OctreeQuantizer::FoldInto(Node* node, Node* child) {
  if (!child->leaf) {
    // Only reached when a shallower level is merged before a deeper one: fold it first.
    Unlist(child);
    for (Node*& c : child->child) {
      if (c) FoldInto(child, c), c = nullptr;
    }
    child->leaf = true;
    ++leafCount_;
  }
  node->pixelCount += child->pixelCount;
  node->red += child->red;
  node->green += child->green;
  node->blue += child->blue;
  if (child->locked) {
    node->locked = true;
    node->lockedColour = child->lockedColour;
  }
  --leafCount_;
  delete child;
}

bool OctreeQuantizer::MergeOne() {
  for (int level = depth_ - 1; level >= 1; --level) {
    if (!mergeable_[level]) continue;
    Node* node = MergeCandidate(level);
    Unlist(node);
    for (Node*& c : node->child) {
      if (c) FoldInto(node, c), c = nullptr;
    }
    node->leaf = true;
    ++leafCount_;
    return true;
  }
  return false;
}

static int LockedLeafChildren(const OctreeQuantizer::Node* node) {
  int n = 0;
  for (const auto* c : node->child) n += c && c->leaf && c->locked;
  return n;
}

void OctreeQuantizer::AssignIndexes(Node* node, std::vector<PaletteEntry>* out,
                                    std::vector<Node*>* leaves) {
  if (!node) return;
  if (!node->leaf) {
    for (Node* c : node->child) AssignIndexes(c, out, leaves);
    return;
  }
  node->index = static_cast<int>(out->size());
  PaletteEntry e;
  if (node->locked) {
    e = node->lockedColour;
  } else if (node->pixelCount > 0) {
    e.red = static_cast<uint8_t>(std::min(255.0, node->red / node->pixelCount));
    e.green = static_cast<uint8_t>(std::min(255.0, node->green / node->pixelCount));
    e.blue = static_cast<uint8_t>(std::min(255.0, node->blue / node->pixelCount));
  }
  out->push_back(e);
  leaves->push_back(node);
}

// The bits of a colour interleaved from the top as the tree's levels take them, so that sorting
// by it gives the order in which the tree lists its leaves.
static uint32_t TreeOrder(uint32_t key) {
  uint32_t order = 0;
  for (int bit = 7; bit >= 0; --bit) {
    order = order << 3 | ((key >> (16 + bit)) & 1) << 2 | ((key >> (8 + bit)) & 1) << 1 |
            ((key >> bit) & 1);
  }
  return order;
}

PalettePtr OctreeQuantizer::MakeExactPalette(bool reserve) {
  try {
    std::vector<uint32_t> keys;
    for (uint32_t key : exactSlots_)
      if (key != kNoColour) keys.push_back(key);
    std::sort(keys.begin(), keys.end(),
              [](uint32_t a, uint32_t b) { return TreeOrder(a) < TreeOrder(b); });
    exactEntries_.clear();
    exactIndex_.clear();
    for (uint32_t key : keys) {
      exactIndex_.emplace_back(key, static_cast<int>(exactEntries_.size()));
      exactEntries_.push_back({static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8),
                               static_cast<uint8_t>(key), 0});
    }
    std::sort(exactIndex_.begin(), exactIndex_.end());
    auto palette = std::make_unique<Palette>();
    palette->entries = exactEntries_;
    if (reserve) palette->entries.push_back({});  // the transparent slot, black
    return palette;
  } catch (const std::bad_alloc&) {
    exactEntries_.clear();
    exactIndex_.clear();
    return nullptr;
  }
}

PalettePtr OctreeQuantizer::MakePalette(int n, bool reserve) {
  if (failed_ || !root_) return nullptr;
  n = std::clamp(n, reserve ? 2 : 1, 256);
  int target = reserve ? n - 1 : n;
  exactEntries_.clear();
  exactIndex_.clear();
  if (exactWanted_ && !locked_ && !exactOverflow_ && exactCount_ > 0 && exactCount_ <= target)
    return MakeExactPalette(reserve);
  while (leafCount_ > target && MergeOne()) {
  }
  try {
    std::vector<PaletteEntry> entries;
    std::vector<Node*> leaves;
    AssignIndexes(root_, &entries, &leaves);
    // The root's children cannot merge into the root, so a very small target may leave too many
    // leaves: the closest colours then share one entry.
    std::vector<double> weight(entries.size());
    std::vector<bool> locked(entries.size());
    for (size_t i = 0; i < leaves.size(); ++i) {
      weight[i] = leaves[i]->pixelCount;
      locked[i] = leaves[i]->locked;
    }
    while (static_cast<int>(entries.size()) > target) {
      size_t bi = 0, bj = 1;
      int best = INT32_MAX;
      for (size_t i = 0; i < entries.size(); ++i) {
        for (size_t j = i + 1; j < entries.size(); ++j) {
          int dr = entries[i].red - entries[j].red, dg = entries[i].green - entries[j].green,
              db = entries[i].blue - entries[j].blue;
          int d = dr * dr + dg * dg + db * db;
          if (d < best) best = d, bi = i, bj = j;
        }
      }
      double w = weight[bi] + weight[bj];
      if (locked[bj] && !locked[bi]) {
        entries[bi] = entries[bj];
      } else if (!locked[bi] && w > 0) {
        auto mix = [&](uint8_t a, uint8_t b) {
          return static_cast<uint8_t>((a * weight[bi] + b * weight[bj]) / w);
        };
        entries[bi] = {mix(entries[bi].red, entries[bj].red),
                       mix(entries[bi].green, entries[bj].green),
                       mix(entries[bi].blue, entries[bj].blue), 0};
      }
      weight[bi] = w;
      locked[bi] = locked[bi] || locked[bj];
      entries.erase(entries.begin() + bj);
      weight.erase(weight.begin() + bj);
      locked.erase(locked.begin() + bj);
      for (Node* leaf : leaves) {
        if (leaf->index == static_cast<int>(bj)) {
          leaf->index = static_cast<int>(bi);
        } else if (leaf->index > static_cast<int>(bj)) {
          --leaf->index;
        }
      }
    }
    if (entries.empty()) entries.push_back({});
    if (reserve) entries.push_back({});  // the transparent slot, black
    auto palette = std::make_unique<Palette>();
    palette->entries = std::move(entries);
    return palette;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int OctreeQuantizer::LookUp(uint8_t red, uint8_t green, uint8_t blue) const {
  if (!exactEntries_.empty()) {
    // A colour that was never added (an unused entry, a background) takes the nearest.
    const uint32_t key = uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
    auto found = std::lower_bound(exactIndex_.begin(), exactIndex_.end(), std::make_pair(key, 0));
    if (found != exactIndex_.end() && found->first == key) return found->second;
    return NearestColour(exactEntries_.data(), static_cast<int>(exactEntries_.size()), red, green,
                         blue)
        .index;
  }
  const Node* node = root_;
  for (int level = 0; node && !node->leaf; ++level) {
    node = node->child[ChildIndex(red, green, blue, level)];
  }
  return node ? node->index : 0;
}

PaletteMapping OctreeQuantizer::MapPalette(const Palette& palette) const {
  PaletteMapping mapping = EmptyPaletteMapping();
  int n = std::min(palette.Count(), 256);
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = palette.entries[i];
    mapping[i] = static_cast<uint16_t>(LookUp(e.red, e.green, e.blue));
  }
  return mapping;
}

void OctreeQuantizer::MapImage(const PixelSource& source, uint8_t transparentIndex, uint8_t* out,
                               uint64_t outStride) const {
  if (!out || outStride < source.width) return;
  for (uint32_t y = 0; y < source.height; ++y) {
    uint8_t* outRow = out + y * outStride;
    for (uint32_t x = 0; x < source.width; ++x) {
      if (source.indexRows) {
        uint8_t index = source.indexRows[y * source.indexStride + x];
        if (index == source.transparentIndex) {
          outRow[x] = transparentIndex;
        } else if (source.palette && index < source.palette->Count()) {
          const PaletteEntry& e = source.palette->entries[index];
          outRow[x] = static_cast<uint8_t>(LookUp(e.red, e.green, e.blue));
        } else {
          outRow[x] = static_cast<uint8_t>(LookUp(0, 0, 0));
        }
        continue;
      }
      if (!source.rgbRows) return;
      if (source.alphaRows && IsClearAlpha(source.alphaRows[y * source.alphaStride + x])) {
        outRow[x] = transparentIndex;
        continue;
      }
      const uint8_t* p = source.rgbRows + y * source.rgbStride + 3 * uint64_t{x};
      outRow[x] = static_cast<uint8_t>(LookUp(p[2], p[1], p[0]));
    }
  }
}

}  // namespace lw
