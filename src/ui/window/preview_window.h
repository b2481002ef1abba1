// "Aperçu d'animation": plays the document as a browser would, frame by frame with each frame's
// delay, disposal and loop count, beside the main window or full screen. It can show the
// duration panel that retimes the frames while they play.
//
// The main window owns at most one, opens it with Open(), and talks to it through:
//   FramesChanged(Pictures | Count)  the frames' pictures, or their number, changed;
//   ReloadDelays()                   delays changed under it (undo, redo);
//   SetFrameDelay(index, delay)      the properties bar changed one frame's delay;
// and listens to:
//   closeRequested()                 close the preview (Esc, close box, no picture possible);
//   durationModeChanged(on)          the duration panel was shown or hidden;
//   delaysChanged()                  the panel wrote delays: refresh the status bar, modified.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>

#include "core/animation.h"

class QAction;
class QLabel;
class QSlider;
class QToolBar;

namespace lw {

class AnimationView;
class ColourButton;
class DurationPanel;

enum class PreviewMode {
  AllFrames,       // command 40010: plays at once
  SelectedFrames,  // command 40340: only the selected frames, plays at once
  Durations,       // command 40289: the duration panel on the current frame, stopped
};

// Where the preview's frame goes: beside the main window's frame (right, else left), else, with
// no room on either side, in the lower right corner of the work area, away from the strip's
// first frames. Always inside the work area as far as the size allows.
QPoint PreviewPosition(const QRect& owner, const QSize& size, const QRect& area);
// The rectangle moved, and shrunk where it is larger, so that it lies inside the area: a window
// placed for a larger screen still shows whole.
QRect FitInside(const QRect& rect, const QRect& area);

class PreviewWindow : public QDialog {
  Q_OBJECT

 public:
  // currentFrame: the main window's current frame (from 0), -1 when none.
  PreviewWindow(Animation* document, PreviewMode mode, int currentFrame, QWidget* parent = nullptr);
  ~PreviewWindow() override;

  // Shows the window (full screen when the preferences say so) and starts as the mode says.
  // False when the picture could not be made: the message was shown and closeRequested follows.
  bool Open();

  enum Change { Pictures = 1, Count = 2 };
  void FramesChanged(int change);
  void ReloadDelays();
  void SetFrameDelay(int index, uint32_t delay);

  // Playback and navigation, as the toolbar buttons do them.
  void Play();
  void Stop();
  void FirstFrame();
  void PreviousFrame();
  void NextFrame();
  void LastFrame();
  void ZoomIn();
  void ZoomOut();
  void ActualSize();
  void SetDurationMode(bool on);
  void SetBackground(uint32_t colour);

  bool Playing() const { return playing_; }
  int CurrentNumber() const { return current_; }
  int FrameCount() const { return count_; }
  bool DurationMode() const { return durationMode_; }
  bool FullScreen() const { return fullScreen_; }
  int LoopsLeft() const { return static_cast<int>(loopsLeft_); }
  AnimationView* View() const { return view_; }
  DurationPanel* Panel() const { return panel_; }
  QSlider* Slider() const { return slider_; }
  QAction* Action(int command) const;
  // The animation being played: the document, or the copy of its selected frames.
  const Animation* Played() const { return played_; }

 signals:
  void closeRequested();
  void durationModeChanged(bool on);
  void delaysChanged();
  // Every frame display (1-based number); used to measure playback timing.
  void frameShown(int number);

 protected:
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void PlaceBesideOwner();
  // Zooms out (and at last shrinks) a window that would not fit on the owner's screen.
  void FitOnScreen();
  void BuildControls();
  void Layout();
  bool PreparePlayed();
  void ShowFrame(int n, bool restart);
  void Tick();
  void ArmTimer();
  int CountFrames() const;

  Animation* document_;
  AnimationPtr selectedCopy_;          // selected-only mode
  const Animation* played_ = nullptr;  // document_ or selectedCopy_
  PreviewMode mode_;
  int startFrame_;
  int current_ = 0;
  int count_ = 0;
  bool playing_ = false;
  uint32_t loopsLeft_ = 0;
  bool fullScreen_ = false;
  bool durationMode_ = false;
  bool ready_ = false;

  // Opened with its window, the owner is placed by the window manager just after: the preview
  // follows it for a moment.
  QElapsedTimer placed_;
  QTimer timer_;
  // Deadlines run from the start of playback, so that timer lateness does not add up.
  QElapsedTimer clock_;
  qint64 deadline_ = 0;  // ms on clock_ at which the next frame is due

  AnimationView* view_ = nullptr;
  DurationPanel* panel_ = nullptr;
  QToolBar* playBar_ = nullptr;
  QToolBar* navigationBar_ = nullptr;
  QToolBar* durationBar_ = nullptr;
  ColourButton* colourButton_ = nullptr;
  QLabel* numberLabel_ = nullptr;
  QSlider* slider_ = nullptr;
  QWidget* controls_ = nullptr;
};

}  // namespace lw
