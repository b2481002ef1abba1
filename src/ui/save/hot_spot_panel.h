// The cursor hot spot chosen over the first frame: a picture of the frame that a click points
// into, and the "x:" and "y:" fields. Shown as a Save As panel for cursors and animated cursors;
// the hot-spot dialog holds the same editor.
#pragma once

#include <QImage>
#include <QWidget>

#include "core/animation.h"
#include "ui/save/save_panel.h"

class QSpinBox;

namespace lw {

// The first frame, enlarged to a comfortable size, with a cross on the hot spot.
class HotSpotView : public QWidget {
  Q_OBJECT

 public:
  HotSpotView(const Frame* frame, QWidget* parent);
  QSize sizeHint() const override;
  void SetHotSpot(int x, int y);
  // The frame pixel under a point of the view; false outside the picture.
  bool PixelAt(QPoint position, int* x, int* y) const;
  QPoint PixelCentre(int x, int y) const;

 signals:
  void pointed(int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
  int zoom_ = 1;
  int x_ = 0, y_ = 0;
};

// The fields and the picture together.
class HotSpotEditor : public QWidget {
 public:
  HotSpotEditor(const Animation* document, QWidget* parent);
  int X() const;
  int Y() const;
  void Set(int x, int y);
  HotSpotView* View() const { return view_; }

 private:
  HotSpotView* view_ = nullptr;
  QSpinBox* x_ = nullptr;
  QSpinBox* y_ = nullptr;
};

// The Save As panel: on OK the point travels in the options and becomes the first frame's hot
// spot when the cursor is written.
class HotSpotPanel : public SavePanel {
 public:
  HotSpotPanel(const SavePanelContext& context, QWidget* parent);
  bool Apply(SaveOptions* options) override;
  HotSpotEditor* Editor() const { return editor_; }

 private:
  HotSpotEditor* editor_ = nullptr;
};

SavePanel* MakeHotSpotPanel(const SavePanelContext& context, QWidget* parent);

}  // namespace lw
