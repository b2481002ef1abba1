// The frame strip: every frame of the document on a drawn film strip, in rows or columns, with
// zoom, scrolling, selection, dragging to reorder, dropping files and the frame tips. It only
// shows and reports; the main window changes the document.
#pragma once

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <unordered_map>

#include "shell/strip_layout.h"

namespace lw {

struct Animation;
struct Frame;
class FrameTip;
class IntroPanel;

// Orientation values of the commands and of the shell state.
namespace orient {
constexpr int Automatic = 0;
constexpr int Vertical = 0x1001;    // frames in columns, scrolling sideways
constexpr int Horizontal = 0x1002;  // frames in rows, scrolling up and down
}  // namespace orient

class FrameStrip : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit FrameStrip(QWidget* parent = nullptr);
  ~FrameStrip() override;

  // The document shown (not owned), or none for the intro panel.
  void SetAnimation(Animation* animation);
  Animation* Document() const { return animation_; }
  void RelayoutIfResized();
  void SetOrientation(int value);
  int Orientation() const;  // the value in use (Automatic when the shape chooses)
  int Direction() const { return direction_; }  // 1 columns, 2 rows
  // Level -4..3, clamped; 0 is actual size.
  void SetZoom(int level);
  int ZoomLevel() const { return zoomLevel_; }
  int ZoomPercent() const { return zoomNum_ * 100 / zoomDen_; }
  void SetTransparencyDisplay(uint32_t value);
  void SetCurrentFrame(int index) { current_ = index; }
  void SetTipsEnabled(bool on);
  bool TipsEnabled() const { return tipsOn_; }
  void SetTipBits(uint32_t bits) { tipBits_ = bits; }

  // The frame under a point of the viewport, -1 for none.
  int HitTest(QPoint point) const;
  // The rectangle of the frame's image in viewport coordinates (empty for no frame).
  QRect FrameImageRect(int index) const;
  // The drop slot for a viewport point during a drag, -1 for none.
  int InsertionPosition(QPoint point) const;

  // The frame's picture changed.
  void RedrawFrame(int index);
  // Pictures may have changed anywhere.
  void RedrawAll();
  // Only the selection changed: the pictures drawn stay good.
  void RedrawSelected();
  // Scrolls so that the line of the frame starts the view.
  void EnsureVisible(int index);
  // Relayout keeping the scroll positions in range; to the start when asked.
  void ResetScroll(bool toStart = true);
  void Relayout(bool erase = false);

  int FramesPerLine() const { return layout_.FramesPerLine(); }
  int LineCount() const { return layout_.Lines(); }
  int LinePitch() const { return layout_.LinePitch(); }
  int CellLength() const { return layout_.CellLength(); }
  bool Dragging() const { return dragging_; }
  int DropPosition() const { return dropPosition_; }
  QWidget* IntroWidget() const;
  FrameTip* Tip() const { return tip_; }
  // How many pictures were drawn from their frames since the strip was made; the others came
  // from the cache.
  int PicturesDrawn() const { return picturesDrawn_; }
  size_t CachedPictureBytes() const { return cachedBytes_; }

 signals:
  void selectRequested(int index, int mode);
  void commandRequested(int command);
  void moveRequested(int position);
  void contextMenuRequested(QPoint globalPosition, bool anySelected);
  void filesDropped(const QStringList& paths, int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ComputeGeometry();
  void ChooseDirectionFromShape();
  void UpdateDropMarker(QPoint point);
  void EndDrag(bool apply, QPoint point);
  void AutoScrollTick();
  void ShowTipFor(int index, QPoint globalPosition);
  void HideTip();
  void UpdateIntro();
  int ModeFromModifiers(Qt::KeyboardModifiers modifiers) const;
  StripPoint Scroll() const;
  QScrollBar* AcrossBar() const;
  QScrollBar* AlongBar() const;
  bool AnySelected() const;
  void PaintLine(QPainter& p, int line, int scrollX, int scrollY);
  void PaintFrame(QPainter& p, const Frame* frame, QPoint origin);
  const QPixmap* PictureOf(const Frame* frame, int w, int h, QColor background);
  void DropPictures();
  void TrimPictures();
  void PaintDropMarker(QPainter& p);

  Animation* animation_ = nullptr;
  uint32_t screenWidth_ = 0, screenHeight_ = 0;
  int direction_ = 2;
  bool explicitDirection_ = false;
  int zoomLevel_ = 0, zoomNum_ = 1, zoomDen_ = 1;
  StripLayout layout_;
  int current_ = -1;
  uint32_t transparencyDisplay_ = 0;
  bool budgetWarned_ = false;  // the memory message was shown for this document

  // Mouse state: idle, armed (press with a current frame), dragging.
  QPoint pressPoint_;
  int pressIndex_ = -1;
  bool selectionMade_ = false;
  bool armed_ = false;
  bool dragging_ = false;
  int dropPosition_ = -1;
  QPoint lastDragPoint_;
  QTimer autoScroll_;
  int wheelRemainder_ = 0;  // wheel delta short of a whole notch

  bool tipsOn_ = false;
  uint32_t tipBits_ = 0;
  FrameTip* tip_ = nullptr;
  QPointer<IntroPanel> intro_;

  // The frames' pictures at the current zoom, drawn when first seen and kept while they fit
  // the cache's size; the least recently painted go first. A picture is good while its frame
  // keeps the version it was drawn from.
  struct CachedPicture {
    QPixmap pixmap;
    uint64_t version = 0;
    uint64_t lastPaint = 0;
  };
  std::unordered_map<const Frame*, CachedPicture> pictures_;
  size_t cachedBytes_ = 0;
  uint64_t paintCount_ = 0;
  int picturesDrawn_ = 0;
};

}  // namespace lw
