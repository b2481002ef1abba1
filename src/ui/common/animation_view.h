// The preview's picture: paints the compositor's off-screen picture at the zoom, the rest of the
// view in the background colour. The compositing itself is the engine's FrameViewer.
#pragma once

#include <QWidget>
#include <cstdint>

#include "core/frame_viewer.h"

namespace lw {

class AnimationView : public QWidget {
  Q_OBJECT

 public:
  explicit AnimationView(QWidget* parent = nullptr);

  // Gives the animation to the view and clears its picture; false (message shown) when the
  // picture cannot be made.
  bool SetAnimation(const Animation* animation);
  // Makes the picture again for the document as it is now (pictures or screen size changed) and
  // brings it back to the number that was shown. False when it cannot be made.
  bool Rebuild();
  // Brings the picture to frame n (1-based).
  void ShowFrame(int n, bool restart);
  int Shown() const { return viewer_.shown; }

  void SetBackground(uint32_t colour);  // 0x00BBGGRR
  uint32_t Background() const { return viewer_.background; }

  // Zoom step: >= 0 gives (step + 1)/1, < 0 gives 1/(1 - step); kept within -4..3.
  void SetZoomStep(int step);
  int ZoomStep() const { return zoom_; }
  // Where the picture lands in the view.
  QRect PictureRect() const;

  FrameViewer& Viewer() { return viewer_; }
  QSize sizeHint() const override;

 signals:
  void escapePressed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  FrameViewer viewer_;
  int zoom_ = 0;
};

}  // namespace lw
