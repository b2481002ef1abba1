// "Enregistrer l’écran": what to record (the whole screen, one window clicked, or a region drawn
// over a frozen picture of the screen), at how many pictures a second, with the pointer or not,
// after a countdown or at once, and where the recording goes.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QWidget>
#include <vector>

#include "platform/screen_capture.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace lw {

struct RecordChoice {
  enum Source { WholeScreen, OneWindow, Region };
  Source source = WholeScreen;
  CaptureArea area;  // of a window or region; the whole screen is filled in when recording starts
  uint32_t fps = 15;
  bool pointer = false;
  bool countdown = true;
  bool insert = false;  // after the current frame, else as a new animation
};

// Fills *choice on OK; it comes in with the last choice made (its region offered again). In a
// recording of the whole screen the control hides, and Ctrl+Alt+S stops: the dialog says so.
// canInsert: a document is open.
bool AskRecord(QWidget* owner, RecordChoice* choice, bool canInsert);

// The area as the window's toolkit measures rectangles.
QRect AsRect(const CaptureArea& a);

// The screen frozen as it was when it opened, over which a region is drawn (its size shown as it
// grows) or a window clicked. Esc cancels. The picture may have more pixels than the chooser
// (its device pixel ratio says how many a point): the region comes back in the picture's pixels.
class AreaChooser : public QWidget {
  Q_OBJECT

 public:
  AreaChooser(const QPixmap& screen, bool window);
  // Runs until a choice or Esc; false on Esc.
  bool Choose(CaptureArea* area);
  // The same, with the chooser filling the screen it is on.
  bool ChooseFullScreen(CaptureArea* area);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // From the point pressed to the point released (the pixel under the latter left out).
  QRect Dragged() const;
  // The topmost window under the point of the chooser, the whole screen's root aside; none when
  // there is none.
  const CaptureArea* WindowAt(const QPoint& p) const;

  QPixmap screen_;
  std::vector<CaptureArea> windows_;
  bool window_;
  bool dragging_ = false;
  QPoint from_, to_;
  int result_ = -1;  // -1 running, 0 cancelled, 1 chosen
  CaptureArea area_;
};

// Under Wayland, the region to record drawn over the first picture of the screen the desktop
// shares, in the capture's pixels. False when the user cancels, or when that picture cannot be
// taken (the reason in *error, else None).
bool DrawRegionOnCapture(ScreenCapture& capture, CaptureArea* area, CaptureError* error);

class RecordDialog : public QDialog {
  Q_OBJECT

 public:
  RecordDialog(QWidget* owner, const RecordChoice& choice, bool canInsert);
  RecordChoice Choice() const;
  void accept() override;

 private:
  void ChooseArea();
  void ShowArea();

  RecordChoice choice_;
  QButtonGroup* sources_;
  QLabel* areaText_;
  QLabel* hiddenNote_;
  QSpinBox* fps_;
  QCheckBox* pointer_;
  QCheckBox* countdown_;
  QRadioButton* openNew_;
  QRadioButton* insert_;
};

}  // namespace lw
