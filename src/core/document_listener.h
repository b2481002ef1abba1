// What the window hears about the document: the refresh hints that say what to redraw after a
// change, and the listener the window implements so that a flow can tell it what it changed.
// Both sit here, low enough for every layer that changes the document to name them.
#pragma once

#include <cstdint>

namespace lw {

// Refresh hints returned by the edits, Undo and Redo: what the main window redraws.
namespace refresh {
constexpr uint32_t Document = 0x01;
constexpr uint32_t FrameCount = 0x02;  // count or order changed: the selection is recounted
constexpr uint32_t ScreenSize = 0x04;
constexpr uint32_t Encoding = 0x08;  // encoded size and colour count recomputed
constexpr uint32_t Names = 0x10;
constexpr uint32_t OneFrame = 0x20;  // the frame's index in bits 16-31
constexpr uint32_t PropertiesFrame = 0x40;
constexpr uint32_t StripOnly = 0x80;
constexpr uint32_t Preview = 0x200;
constexpr uint32_t ForFrame(uint32_t hints, uint32_t index) { return hints | (index << 16); }
inline uint32_t FrameIndexOf(uint32_t hints) { return hints >> 16; }
}  // namespace refresh

// What the window does when a flow has changed the document. Every hook may be left alone:
// the defaults do nothing, as in the batch mode.
class ShellListener {
 public:
  virtual ~ShellListener() = default;
  // The document's name or modified flag changed: the title follows.
  virtual void TitleChanged() {}
  // The document was replaced, changed in place or closed: strip, properties bar, status bar,
  // preview and palette views are refreshed (hints: the refresh:: bits above).
  virtual void DocumentChanged(uint32_t /*hints*/) {}
  // Before a flow changes the document under the preview.
  virtual void StopPreview() {}
  // The document is about to be freed: co-editing files are removed, views let go of frames.
  virtual void DocumentClosing() {}
  // The frame strip goes back to its first frame.
  virtual void ScrollStripToStart() {}
  // A newly opened animation should start playing in the preview ("Afficher aperçu
  // d'animation", command 40010, posted to the window).
  virtual void RequestAutoPreview() {}
};

}  // namespace lw
