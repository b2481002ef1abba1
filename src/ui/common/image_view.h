// The zoomable view of a frame's 8-bit image in the colour dialogs: zoom in, zoom out and actual
// size buttons above it, the index of the pixel under the cursor in a tip, and clicks that report
// the pixel's position and index.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <vector>

#include "core/animation.h"

class QScrollArea;

namespace lw {

class ImageView : public QWidget {
  Q_OBJECT

 public:
  explicit ImageView(QWidget* parent = nullptr);

  // The DIB to show (the dialog's working copy, kept alive by it) and the colours it is shown in.
  void SetImage(const std::vector<uint8_t>* dib);
  void SetColours(const std::array<QRgb, 256>& colours);
  // What the tips tell: the real colours and the transparent indexes.
  void SetTipData(const std::vector<PaletteEntry>& entries,
                  const std::array<bool, 256>& transparent);
  void SetTipsEnabled(bool on) { tips_ = on; }
  // The pixels changed: draw again.
  void Refresh();

  // 1 for actual size, up to 16 times.
  int Zoom() const { return zoom_; }
  void SetZoom(int zoom);
  void ZoomIn();
  void ZoomOut();

  // The drawing surface and the centre of a pixel on it, for the tests.
  QWidget* Canvas() const { return canvas_; }
  QPoint PixelCentre(int x, int y) const;
  // The pixel under a point of the canvas; false outside the image.
  bool PixelAt(QPoint position, int* x, int* y) const;

 signals:
  // A click on a pixel, or a move with the button held (dragged).
  void pixelClicked(int x, int y, int index, bool dragged);

 private:
  class Surface;
  friend class Surface;
  void Hover(QPoint position, QPoint global);

  const std::vector<uint8_t>* dib_ = nullptr;
  std::array<QRgb, 256> colours_{};
  std::vector<PaletteEntry> entries_;
  std::array<bool, 256> transparent_{};
  QImage image_;
  int zoom_ = 1;
  bool tips_ = true;
  QScrollArea* scroll_ = nullptr;
  QWidget* canvas_ = nullptr;
};

// The colours the grid and the view show for entries: the transparent indexes in colour when
// paint is set, the flashing entry turned around (flash -1 for none); black past the entries.
std::array<QRgb, 256> DisplayColours(const std::vector<PaletteEntry>& entries,
                                     const std::array<bool, 256>& transparent, bool paint,
                                     QRgb colour, int flash);
// The colour transparent pixels of a frame are shown in (the View menu's choice).
QRgb TransparencyShownIn(const Frame* frame);

}  // namespace lw
