// The frame tip: a small window beside the mouse over the strip, with the frame's picture and its
// facts (size, offset, delay, disposal, colours), as the tip preference bits choose.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace lw {

struct Animation;

class FrameTip : public QWidget {
  Q_OBJECT

 public:
  explicit FrameTip(QWidget* owner);
  void ShowFrame(const Animation& animation, int index, uint32_t bits, QPoint globalPosition);
  QString Text() const { return text_; }
  int FrameShown() const { return index_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QImage image_;
  int index_ = -1;
};

}  // namespace lw
