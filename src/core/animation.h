// The in-memory animation being edited: logical screen, palettes, and the list of frames and
// extension blocks in file order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/delay_units.h"

namespace lw {

struct ProgressMeter;

// ---------------------------------------------------------------------------------------------
// Palettes

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// A colour table of 1 to 256 entries.
class Palette {
 public:
  std::vector<PaletteEntry> entries;

  int Count() const { return static_cast<int>(entries.size()); }
  // Copies up to count entries from start into out; returns how many were copied.
  int GetPaletteEntries(int start, int count, PaletteEntry* out) const;
  // The index whose colour is nearest (squared RGB distance, the lowest index on ties).
  int NearestIndex(uint8_t red, uint8_t green, uint8_t blue) const;
};

using PalettePtr = std::unique_ptr<Palette>;

// A palette of count entries from packed R, G, B triples, flags 0; none when count is not 1..256
// or memory is short.
PalettePtr PaletteFromTriples(int count, const uint8_t* rgb);
// Same entries (up to 256) in a new palette; none for none.
PalettePtr CopyPalette(const Palette* palette);
// The nearest index when its red, green and blue equal the colour's exactly, else -1 (also for
// no palette). colour is 0x00BBGGRR.
int ExactPaletteIndex(const Palette* palette, uint32_t colour);

// Bits (1..8) that n colours need.
int BitsForColours(int n);

// ---------------------------------------------------------------------------------------------
// Frame names: shared, reference-counted texts. 0 is no name.

using NameAtom = uint16_t;

constexpr NameAtom FirstNameAtom = 0xC000;  // names are atoms 0xC000..0xFFFF
constexpr size_t MaxNameLength = 259;       // names are read into 260-byte buffers

// Takes one reference to the name of text (adding it when new); 0 for an empty text, when the
// table is full or memory is short. Names compare without regard to case (ASCII and Latin-1
// letters); the text kept is the spelling first added, cut to MaxNameLength bytes.
NameAtom AddNameAtom(const std::string& text);
// One more reference to an existing name.
void AddNameReference(NameAtom atom);
// Drops one reference; the name goes when none is left.
void ReleaseNameAtom(NameAtom atom);
// The text of a name (empty for 0 or an unknown atom), cut to 259 bytes as names are read.
std::string NameAtomText(NameAtom atom);
// References held on a name (0 when unknown); for checks.
int NameAtomReferences(NameAtom atom);

// ---------------------------------------------------------------------------------------------
// Blocks

enum class BlockKind : uint8_t {
  Frame = 0x2C,     // ','
  ListHead = 0x2A,  // '*'
  PlainText = 0x01,
  Comment = 0xFE,
  Application = 0xFF,
  OtherExtension = 0x21,  // any other label, kept as read: decoders skip what they do not know
};

enum DisposalMethod : uint8_t {
  DisposalNone = 0,
  DisposalLeave = 1,
  DisposalBackground = 2,
  DisposalPrevious = 3,
};

struct Block {
  BlockKind kind;
  Block* next = nullptr;
  Block* prev = nullptr;

  explicit Block(BlockKind k) : kind(k) {}
  virtual ~Block() = default;
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  bool IsFrame() const { return kind == BlockKind::Frame; }
};

struct ListHead : Block {
  ListHead() : Block(BlockKind::ListHead) {}
};

// A comment, application, plain-text or other extension: its data exactly as GIF data
// sub-blocks (length byte 1..255 and that many bytes, repeated, closed by a 0 length byte).
struct ExtensionBlock : Block {
  std::vector<uint8_t> data;
  uint8_t label;  // the byte written after 0x21; the kind's own except for OtherExtension
  explicit ExtensionBlock(BlockKind k) : Block(k), label(static_cast<uint8_t>(k)) {}
};

// Size of the DIB header and colour table in front of the pixel rows.
constexpr size_t DibHeaderSize = 40;
constexpr size_t DibColourTableSize = 256 * 4;
constexpr size_t DibBitsOffset = DibHeaderSize + DibColourTableSize;  // 1064

// Row strides, in 64 bits so that no width can wrap them.
inline uint64_t IndexStride(uint64_t width) { return (width + 3) & ~uint64_t{3}; }
inline uint64_t RgbStride(uint64_t width) { return (3 * width + 3) & ~uint64_t{3}; }
inline uint64_t MaskStride(uint64_t width) { return ((width + 31) / 32) * 4; }

// Largest byte count of one DIB's pixel rows or one plane: DIB sizes are 32-bit fields, and it
// still holds the largest GIF frame (65535 x 65535). Larger images are refused.
constexpr uint64_t MaxImageBytes = uint64_t{1} << 32;

// A value no frame has had yet.
uint64_t NewFrameVersion();

struct Frame : Block {
  uint32_t selected = 0;
  uint32_t savedIndex = 0;
  int32_t left = 0;
  int32_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t hotspotX = -1;
  int32_t hotspotY = -1;
  NameAtom nameAtom = 0;
  Palette* palette = nullptr;  // in effect: localPalette when there is one, else the global one
  PalettePtr localPalette;
  uint32_t delay = 0;
  uint8_t controlFlags = 0;  // bits 2-4 disposal, bit 1 user input, bit 0 transparency
  uint8_t transparentIndex = 0;
  uint8_t descriptorFlags = 0;  // bit 7 local table, bit 6 interlaced, bit 5 sort, bits 0-2 size
  // The LZW minimum code size to write (2..8); 0 = from the palette. Pixels beyond it still get
  // a larger one, so a value left from before an edit is safe.
  uint8_t codeSize = 0;
  // 1-bit top-down mask of the DIB's size (DibWidth x DibHeight), rows of MaskStride bytes, most
  // significant bit first; a set bit (white) where the pixel is transparent. Empty when none;
  // present exactly while the transparency flag is set and the frame has a DIB.
  std::vector<uint8_t> transparencyMask;
  // 8-bit DIB: 40-byte header, 256 RGBQUADs, rows of IndexStride(width). Empty when none.
  std::vector<uint8_t> dib;
  // Blue, green, red rows of RgbStride(width); empty when none.
  std::vector<uint8_t> rgbPlane;
  // One byte per pixel (0 transparent, 255 opaque), rows of IndexStride(width); only beside
  // rgbPlane.
  std::vector<uint8_t> alphaPlane;
  // What the frame shows, as a number: views keep pictures drawn from a frame under it. Taken
  // from one process-wide counter, so a frame made at a freed frame's address never matches.
  uint64_t version = NewFrameVersion();

  Frame() : Block(BlockKind::Frame) {}
  ~Frame() override;

  // The pixel rows inside dib (none without a DIB, or when dib is too short to hold the header).
  uint8_t* bits() { return dib.size() < DibBitsOffset ? nullptr : dib.data() + DibBitsOffset; }
  const uint8_t* bits() const {
    return dib.size() < DibBitsOffset ? nullptr : dib.data() + DibBitsOffset;
  }
  // Width and height of the DIB as its header says (at least 1 each; 0 without a DIB).
  uint32_t DibWidth() const;
  uint32_t DibHeight() const;

  bool Transparent() const { return controlFlags & 1; }
  int Disposal() const { return (controlFlags >> 2) & 7; }
  bool Interlaced() const { return descriptorFlags & 0x40; }
};

// ---------------------------------------------------------------------------------------------
// The animation

struct Animation {
  uint32_t screenWidth = 0;
  uint32_t screenHeight = 0;
  uint32_t playCount = 0;
  int16_t frameCount = 0;
  ListHead* blocks = nullptr;  // owned, with every block linked after it
  int32_t anchorIndex = -1;
  uint32_t selectedCount = 0;
  PalettePtr globalPalette;
  uint8_t screenFlags = 0;
  uint8_t backgroundIndex = 0;
  uint8_t aspectByte = 0;
  int32_t encodedSizeCache = -1;
  std::array<uint32_t, 256> colourUsage{};
  std::unique_ptr<Animation> nextInChain;

  Animation() = default;
  ~Animation();
  Animation(const Animation&) = delete;
  Animation& operator=(const Animation&) = delete;
};

using AnimationPtr = std::unique_ptr<Animation>;

// Construction and destruction. Every constructor returns none when memory is short, having
// freed what it took.
Block* NewBlock(BlockKind kind, size_t dataSize);
AnimationPtr NewAnimation();
Frame* NewFrame(uint32_t width, uint32_t height, uint32_t delay);
// One frame with the timing's delay, and its play count.
AnimationPtr NewBlankAnimation(uint32_t width, uint32_t height, const Timing& timing);
// gce: the 6 bytes of a graphic control extension body, whose hundredths become the timing's
// units; without one, the timing's default delay.
Frame* FrameFromControlExtension(const uint8_t* gce, const Timing& timing);
// Frees the block and returns its old next.
Block* FreeBlock(Block* block);
void FreeAnimation(Animation* animation);
Block* DuplicateBlock(const Block* block, Palette* paletteForGlobalFrames);
// The record with an empty list (frameCount 0), no global palette, screenFlags 0, no chain.
AnimationPtr CloneAnimationHeader(const Animation& animation);
// A deep copy (palettes, pixels and planes copied, names shared by reference, screenFlags kept).
// When the progress reports cancellation the copy made so far is returned.
AnimationPtr DuplicateAnimation(const Animation& animation, ProgressMeter* progress);
void SwapAnimations(Animation& a, Animation& b);
// Builds (or rebuilds) the frame's 8-bit DIB for its size from the palette in effect; pixels 0;
// the mask follows (all transparent pixels when the index is 0). False (frame unchanged) when
// memory is short or the image is too large.
bool NewFrameDib(Frame* frame);
// A DIB of width x height (0 built as 1) with its colour table from palette (none: all black),
// pixels 0; empty when memory is short or the image is too large.
std::vector<uint8_t> BuildDib(uint32_t width, uint32_t height, const Palette* palette);
// Copies the palette in effect into the DIB's colour table (the transparency display colour is
// put back at the transparent index).
void UpdateDibColourTable(Frame* frame);
void CopyFrameAttributes(Frame* to, const Frame* from);
// The masks go with the pixels; when palettes are exchanged the local-table bits of
// descriptorFlags go with them.
void SwapFrameImages(Frame* a, Frame* b);
void SwapFrameImagesAndGeometry(Frame* a, Frame* b);
// The frame's pixels, palette, size, position or transparency changed: its pictures are stale.
void TouchFrame(Frame* frame);
void TouchAllFrames(Animation& animation);

// List operations.
void LinkBlocks(Block* a, Block* b);
void InsertBlockAfter(Block* a, Block* b);
void UnlinkAndFreeBlock(Block* block);
Frame* NextFrame(const Block* block);
Frame* PrevFrame(const Block* block);
Frame* FirstFrame(const Animation& animation);
Block* LastBlock(const Animation& animation);
Frame* FrameAt(const Animation& animation, int index);
int FrameIndex(const Animation& animation, const Frame* frame);  // -1 when not in the list
Frame* FirstSelectedFrame(const Animation& animation);
Frame* NextSelectedFrame(const Frame* frame);
bool ReverseBlocks(Animation& animation);  // false when nothing changed
// False when memory ran short; the document is then as it was.
bool AppendPingPong(Animation& animation);
// Frames that borrowed a chained animation's global palette borrow the first one's afterwards.
void MergeChain(Animation& animation);

// Setters with side effects.
// Stores the palette and sets screenFlags from its size (0 for none); returns the previous one,
// which the caller deletes or keeps. Frames that borrowed the previous palette borrow the new one.
PalettePtr SetGlobalPalette(Animation& animation, PalettePtr palette);
// Returns the previous local palette (the caller drops it). With none, palette becomes none for
// the caller to point at the global one (never left pointing at the palette returned).
PalettePtr SetLocalPalette(Frame* frame, PalettePtr palette);
// Setting the count to 0 also drops the anchor.
void SetSelectedCount(Animation& animation, uint32_t count);
void SetTransparency(Frame* frame, bool on);
void SetTransparentIndex(Frame* frame, uint8_t index);
// For pixels rewritten so that those of the transparent index, and only those, now hold index:
// the mask stays as it is.
void MoveTransparentIndex(Frame* frame, uint8_t index);
void SetFrameDib(Frame* frame, std::vector<uint8_t> dib);
void SetDisposal(Frame* frame, int disposal);
void SetInterlaced(Frame* frame, bool on);
// True when the name changed. When a non-empty text cannot be stored (table full, memory short)
// the frame keeps its name and false is returned.
bool SetFrameName(Frame* frame, const std::string& text);
std::string FrameName(const Frame* frame);
// Comments only: the text as one length byte, the text and a zero (texts over 255 bytes are
// split into several sub-blocks). Shows string 40195 and returns false when memory is short.
bool SetCommentText(Block* block, const std::string& text);
// The comment's text: its sub-blocks' bytes up to the terminator (for a comment set through the
// model, the bytes after its first length byte); false for other kinds.
bool CommentText(const Block* block, std::string* text);
void SetDibSize(Frame* frame, uint32_t width, int32_t height);
// An empty plane frees the alpha plane too.
void SetRgbPlane(Frame* frame, std::vector<uint8_t> plane);
// The alpha plane is only kept beside an rgbPlane.
void SetAlphaPlane(Frame* frame, std::vector<uint8_t> plane);
void FreeAlphaPlane(Frame* frame);
void FreeRgbPlane(Frame* frame);

// Transparency mask and display colour.
void SetTransparentDisplayColour(Frame* frame, bool forDisplay);
bool BuildTransparencyMask(const Frame* frame, std::vector<uint8_t>* mask);
void RebuildTransparencyMask(Frame* frame);
void RemoveTransparencyMask(Frame* frame);
// The frame takes the picture of from, a copy of it made to work on elsewhere, with from's
// transparent index, transparency flag, mask and display colour as they stand; from's picture
// and mask are left empty. The frame's other fields (delay, disposal) stay its own.
void TakePicture(Frame* frame, Frame* from);
// How transparent pixels show in the frame strip: in the window's background colour, in the
// frame's own transparent colour, or in a colour of the user's. The window sets it.
struct TransparencyDisplay {
  enum Mode : uint32_t { WindowBackground = 0, FrameColour = 1, Custom = 2 };
  uint32_t mode = WindowBackground;  // another value counts as WindowBackground
  uint32_t colour = 0;               // 0x00BBGGRR, for Custom
};
void SetTransparencyDisplay(const TransparencyDisplay& display);
// The colour (0x00BBGGRR) that shows transparent pixels in the frame strip, for a frame.
uint32_t TransparencyDisplayColour(const Frame* frame);
// The system's button-face colour (0x00BBGGRR) that the interface reports; the engine's default
// is a light grey.
void SetButtonFaceColour(uint32_t colour);
uint32_t ButtonFaceColour();

// Queries.
struct Extent {
  int64_t right = 0;
  int64_t bottom = 0;
};
struct Bounds {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
};
Extent FramesExtent(const Animation& animation);
Bounds FramesBounds(const Animation& animation);
uint64_t TotalDuration(const Animation& animation);

// Whole-document operations.
// Delays counted in from become the nearest count in to, keeping their length in seconds.
void RescaleDelays(Animation& animation, DelayUnits from, DelayUnits to);
void RefreshLogicalScreenFlags(Animation& animation);
// Frames without transparency and without 24-bit data that hold colour (0x00BBGGRR) exactly in
// their palette take it as their transparent colour.
void ApplyAutoTransparency(Animation& animation, uint32_t colour);
void SingleFrameRestoresBackground(Animation& animation);
// counts: 256 counters. Returns false when the colour-count stop request cut the count short.
bool CountColourUsage(const Animation& animation, uint32_t* counts, bool clear);
void CountOpaqueColourUsage(const Animation& animation, uint32_t* counts, bool clear);
void CountFrameColours(const Frame* frame, uint32_t* counts, bool clear);
// CountFrameColours without the transparent index of a transparent frame.
void CountOpaqueFrameColours(const Frame* frame, uint32_t* counts, bool clear);
// The area is first cut to the frame's pixels; an empty area gives the 1 x 1 frame at (0, 0).
void CropFrame(Frame* frame, int32_t x0, int32_t y0, int32_t w, int32_t h);
void ClipFrameToScreen(Frame* frame, uint32_t screenWidth, uint32_t screenHeight);

}  // namespace lw
