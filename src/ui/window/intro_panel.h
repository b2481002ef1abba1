// The panel shown while no document is open: three large buttons.
#pragma once

#include <QWidget>

namespace lw {

class IntroPanel : public QWidget {
  Q_OBJECT

 public:
  explicit IntroPanel(QWidget* parent);
  // The hot area of button 0 (open), 1 (insert frames) or 2 (tutorial), in panel coordinates.
  QRect ButtonRect(int button) const;

 signals:
  void commandRequested(int command);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int ButtonAt(QPoint point) const;
  int hot_ = -1;
};

}  // namespace lw
