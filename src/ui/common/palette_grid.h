// The 16 x 16 grid of a palette's entries: one 16-pixel cell per index inside a sunken border.
// A click selects an index; the selected cell is outlined, unused entries can be marked, and
// the tip gives the colour under the cursor.
#pragma once

#include <QColor>
#include <QFrame>
#include <array>
#include <vector>

#include "core/animation.h"

namespace lw {

class PaletteGrid : public QFrame {
  Q_OBJECT

 public:
  static constexpr int Cell = 16;

  explicit PaletteGrid(QWidget* parent = nullptr);

  // The real colours (what the tips give) of 1..256 entries.
  void SetEntries(const std::vector<PaletteEntry>& entries);
  const std::vector<PaletteEntry>& Entries() const { return entries_; }
  // Indexes shown as transparent: painted with colour when paint is set, tip "Transparent".
  void SetTransparent(const std::array<bool, 256>& transparent, bool paint, QColor colour);
  // 256 counters, or none; unused entries are crossed out while usage display is on.
  void SetUsage(const uint32_t* usage);
  void SetShowUsage(bool on);
  void SetSelected(int index);
  int Selected() const { return selected_; }
  // The entry shown with each channel turned around (flash), -1 for none.
  void SetFlash(int index);
  void SetTipsEnabled(bool on) { tips_ = on; }

  // The index under a point of the widget, -1 outside the entries.
  int IndexAt(QPoint position) const;
  // The centre of an index's cell, in widget coordinates.
  QPoint CellCentre(int index) const;

 signals:
  void indexClicked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  std::vector<PaletteEntry> entries_;
  std::array<bool, 256> transparent_{};
  bool paintTransparent_ = false;
  QColor transparentColour_;
  std::array<uint32_t, 256> usage_{};
  bool hasUsage_ = false;
  bool showUsage_ = false;
  int selected_ = -1;
  int flash_ = -1;
  bool tips_ = true;
};

// The colour an entry shows while it flashes: each channel 255 below 128, else 0.
QColor FlashColour(const PaletteEntry& entry);

}  // namespace lw
