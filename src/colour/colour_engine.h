// The colour engine: nearest colours, the inverse colour map, error-diffusion dithering, the
// octree and median-cut quantizers, remapping frames through index maps, and the colour
// reduction of a whole animation.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/animation.h"

namespace lw {

struct ProgressMeter;

// Old index -> new index; NoIndex marks an old index that is unused or has no place.
constexpr uint16_t NoIndex = 65535;
using PaletteMapping = std::array<uint16_t, 256>;
PaletteMapping EmptyPaletteMapping();     // every entry NoIndex
PaletteMapping IdentityPaletteMapping();  // i -> i

// Locked palette indexes (the reduce-colours dialog's "couleurs verrouillées").
using LockedColours = std::array<bool, 256>;

// Two palettes are equal when they have as many entries and every entry's four bytes match.
bool PalettesEqual(const Palette* a, const Palette* b);

// ---------------------------------------------------------------------------------------------
// Nearest colours

struct NearestResult {
  int index = 0;
  bool exact = false;
};
// Squared RGB distance, lowest index on ties.
NearestResult NearestColour(const PaletteEntry* entries, int count, uint8_t red, uint8_t green,
                            uint8_t blue);

// One palette index for every 15-bit colour cell (r >> 3) * 1024 + (g >> 3) * 32 + (b >> 3).
struct InverseColourMap {
  std::vector<PaletteEntry> palette;  // the palette it was built for
  int excludedIndex = -1;             // an entry that no cell may take, -1 none
  std::array<uint8_t, 32768> cells{};

  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue) const {
    return cells[((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3)];
  }
};

// The map for the palette, built or taken from the cache (one map is kept, for the palette last
// asked for). excludedIndex keeps one entry (a transparent slot) from being chosen for any colour.
// None when memory is short (the message is shown). Safe to call from background workers: a map
// handed out stays valid while its holder keeps it.
std::shared_ptr<const InverseColourMap> BuildInverseColourMap(const Palette& palette,
                                                              int excludedIndex = -1);

// 216 colours of the web's 6 x 6 x 6 cube (red slowest), then 40 black entries.
PalettePtr WebPalette();

// ---------------------------------------------------------------------------------------------
// Mapping pixels onto a palette

// Pixels to map: either 8-bit indexes through their own palette, or 24-bit blue, green, red rows
// with an optional alpha plane (transparent under half opacity, IsClearAlpha).
struct PixelSource {
  uint32_t width = 0;
  uint32_t height = 0;
  const uint8_t* indexRows = nullptr;
  uint64_t indexStride = 0;
  const Palette* palette = nullptr;
  int transparentIndex = -1;  // indexed source: the index that is transparent, -1 none
  const uint8_t* rgbRows = nullptr;
  uint64_t rgbStride = 0;
  const uint8_t* alphaRows = nullptr;
  uint64_t alphaStride = 0;
};

// Floyd-Steinberg with a 4 x 4 threshold offset onto target. Transparent source pixels take
// transparentOut. out may be the source's own index rows. excludedIndex: see BuildInverseColourMap.
// False (nothing written) when memory is short; the message is shown.
bool DitherToPalette(const PixelSource& source, const Palette& target, uint8_t transparentOut,
                     uint8_t* out, uint64_t outStride, int excludedIndex = -1);
// 24-bit data through the inverse map without dithering; clear alpha takes transparentOut.
bool MapTrueColour(const PixelSource& source, const Palette& target, uint8_t transparentOut,
                   uint8_t* out, uint64_t outStride, int excludedIndex = -1);
// The threshold offset of a position and the 5-bit cell coordinate of a channel value with it.
int DitherOffset(uint32_t row, uint32_t column);
int DitherCell(int value, int offset);

// The frame's 8-bit pixels dithered in place from the palette in effect onto target; its
// transparent pixels take transparentOut. The caller sets the palette and transparent index.
bool DitherFrameToPalette(Frame* frame, const Palette& target, uint8_t transparentOut,
                          int excludedIndex = -1);

// ---------------------------------------------------------------------------------------------
// Quantizers

class OctreeQuantizer {
 public:
  explicit OctreeQuantizer(int maxColours, int depth = 6);
  virtual ~OctreeQuantizer();
  OctreeQuantizer(const OctreeQuantizer&) = delete;
  OctreeQuantizer& operator=(const OctreeQuantizer&) = delete;

  // False once memory has run short; the quantizer then makes no palette.
  bool Ok() const { return !failed_; }
  void AddColour(uint8_t red, uint8_t green, uint8_t blue, double weight, bool locked = false);
  // 24-bit rows (blue, green, red; stride RgbStride); pixels of clear alpha are left out.
  void AddImage(uint32_t width, uint32_t height, const uint8_t* rgbRows, uint64_t rgbStride,
                const uint8_t* alphaRows, uint64_t alphaStride);
  // Every entry with a non-zero counter, weighted by it.
  void AddPalette(const Palette& palette, const uint32_t* usage);
  // At most n colours; with reserve the last of them is a black transparent slot. None when
  // memory ran short.
  PalettePtr MakePalette(int n, bool reserve);
  // The palette index of a colour (after MakePalette); 0 for a colour the tree never saw.
  int LookUp(uint8_t red, uint8_t green, uint8_t blue) const;
  PaletteMapping MapPalette(const Palette& palette) const;
  // Clear alpha (IsClearAlpha) takes transparentIndex.
  void MapImage(const PixelSource& source, uint8_t transparentIndex, uint8_t* out,
                uint64_t outStride) const;
  int LeafCount() const { return leafCount_; }
  // When every distinct colour added fits in the palette asked for, MakePalette gives exactly
  // those colours (in the tree's order) and look-ups find them exactly, instead of the tree's
  // means at six bits per channel. Set before adding colours.
  void SetExactWhenFits(bool on) { exactWanted_ = on; }

  struct Node;

 protected:
  explicit OctreeQuantizer(int maxColours, int depth, bool lockedVariant);

 private:
  Node* NewNode(int level);
  void FreeNode(Node* node);
  bool MergeOne();
  Node* MergeCandidate(int level);
  void FoldInto(Node* node, Node* child);
  void Unlist(Node* node);
  void AssignIndexes(Node* node, std::vector<PaletteEntry>* out, std::vector<Node*>* leaves);
  void NoteExactColour(uint32_t key);
  PalettePtr MakeExactPalette(bool reserve);

  // The distinct colours added (0xRRGGBB) in an open-addressed table, kept while there are at
  // most 256 of them.
  static constexpr uint32_t kNoColour = 0xFFFFFFFF;
  bool exactWanted_ = false;
  bool exactOverflow_ = false;
  std::vector<uint32_t> exactSlots_;
  int exactCount_ = 0;
  // After an exact MakePalette: the palette's colours and (key, index) pairs sorted by key.
  std::vector<PaletteEntry> exactEntries_;
  std::vector<std::pair<uint32_t, int>> exactIndex_;

  bool locked_ = false;
  bool failed_ = false;
  int depth_ = 6;
  int maxLeaves_ = 256;
  int leafCount_ = 0;
  Node* root_ = nullptr;
  Node* mergeable_[8] = {};
};

// Locked colours keep their exact colour and are kept apart while any other merge is possible.
class LockedOctreeQuantizer : public OctreeQuantizer {
 public:
  explicit LockedOctreeQuantizer(int maxColours, int depth = 6)
      : OctreeQuantizer(maxColours, depth, true) {}
};

// Median cut over the first count entries weighted by counts, at 6 bits per channel: at most n
// colours written back into entries (which holds 256), largest boxes first. Returns how many.
int MedianCutQuantize(PaletteEntry* entries, int count, const uint32_t* counts, int n,
                      ProgressMeter* progress = nullptr);

// Rewrites entries (256 slots) with at most n colours from the first `count` entries weighted by
// counts: median cut without locked flags, else the locked octree with at least 8 colours.
// Returns the number of entries written, 0 when memory ran short.
int ReducePaletteColours(PaletteEntry* entries, int count, const uint32_t* counts, int n,
                         const LockedColours* locked, ProgressMeter* progress = nullptr);

// ---------------------------------------------------------------------------------------------
// Remapping frames

// Each old entry to the nearest index of the new palette; entries past the old palette NoIndex.
PaletteMapping MapPaletteToPalette(const Palette& from, const Palette& to);

// Pixels through mapping (none: pixels kept), colour table and palette from the new palette, the
// transparent index carried through the mapping.
void RemapFrame(Frame* frame, Palette* palette, const PaletteMapping* mapping);
// Every frame without a local palette; a transparent index that would share its new index with
// an opaque colour gets an index of its own when one is free.
void RemapGlobalFrames(Animation& animation, Palette* palette, const PaletteMapping& mapping);
// Every frame without a local palette, transparent indexes sent to slot.
void RemapGlobalFramesWithSlot(Animation& animation, Palette* palette,
                               const PaletteMapping* mapping, uint8_t slot,
                               ProgressMeter* progress = nullptr);
// Points every frame without a local palette at palette and refreshes its colour table.
void SetGlobalFramesPalette(Animation& animation, Palette* palette);

// True when the frame holds 24-bit data and no indexed image yet.
bool IsTrueColourOnly(const Frame* frame);
// The frame's 24-bit data (and alpha) as a pixel source; false when it has none that fits.
bool TrueColourSource(const Frame* frame, PixelSource* source);

// Gives a frame's 24-bit data an 8-bit image on palette (dithered or through the inverse map);
// alpha 0 takes the last entry, which becomes the transparent index. The 24-bit data goes unless
// keepTrueColour. False when memory is short.
bool QuantizeTrueColourFrame(Frame* frame, Palette* palette, bool dither, bool keepTrueColour);
// The same by look-up in a quantizer whose palette is palette.
bool QuantizeTrueColourFrameOctree(Frame* frame, Palette* palette, const OctreeQuantizer& quantizer,
                                   bool keepTrueColour);

// The reduce-colours operation: the global palette and every local palette brought to at most n
// colours (plus a transparent slot). False when nothing could be done for lack of memory. A
// cancel stops it early: the frames it did not reach keep their local palettes, and those on the
// global palette are mapped without dithering; the animation stays whole either way.
bool ReduceColours(Animation& animation, int n, bool dither, const LockedColours* locked,
                   ProgressMeter* progress);

}  // namespace lw
