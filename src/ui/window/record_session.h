// The "Enregistrer l’écran..." command from start to end: the dialog, the countdown, the small
// control that stays on top outside the recorded area while the recording runs (elapsed time,
// frames, Pause/Reprendre, Arrêter, and Ctrl+Alt+S where the X server lets the program take the
// key), then the recording into the document.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <memory>

#include "formats/record/recorder.h"
#include "shell/shell_state.h"

class QLabel;
class QPushButton;
class QTimer;

namespace lw {

// True when a recording went into the document.
bool RecordScreenCommand(QWidget* owner, ShellState& state);

// The control shown while recording. It counts down first when asked, then starts the recorder
// and follows it; Finished() tells when the recording ended (Arrêter, the key, or the recorder
// itself: its duration, a full disk). When no place on the screen keeps it out of the recorded
// area, it hides once the countdown is over, as long as Ctrl+Alt+S can stop the recording.
class RecordControl : public QWidget {
  Q_OBJECT

 public:
  RecordControl(std::unique_ptr<ScreenCapture> capture, const RecordOptions& options,
                bool countdown);
  ~RecordControl() override;
  // Runs until the recording ends; the recorder (none when it could not start or was stopped in
  // the countdown).
  std::unique_ptr<Recorder> Run(CaptureError* error);
  // Whether the recorder could not start for want of its temporary file.
  bool StartFailed() const { return startFailed_; }
  // Where the control goes: beside the area, inside the screen, clear of the area when it can be.
  static QPoint PlaceOutside(const QRect& area, const QSize& control, const QRect& screen);

 private:
  void Tick();
  void StopNow();

  std::unique_ptr<ScreenCapture> capture_;
  RecordOptions options_;
  int countdown_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<GlobalKey> stopKey_;
  CaptureError error_ = CaptureError::None;
  bool done_ = false;
  bool startFailed_ = false;
  bool hideWhileRecording_ = false;
  QElapsedTimer sinceShown_;
  QLabel* elapsed_;
  QLabel* frames_;
  QPushButton* pause_;
  QPushButton* stop_;
  QTimer* timer_;
};

}  // namespace lw
