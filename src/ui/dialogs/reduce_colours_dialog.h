// "Réduire Couleurs": the animation beside a copy reduced to the chosen number of colours, both
// playable, with the two encoded sizes measured in the background; OK keeps the copy.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>

#include "colour/colour_engine.h"
#include "core/animation.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSlider;
class QSpinBox;

namespace lw {

class AnimationView;

struct ReduceColoursRequest {
  Animation* document = nullptr;  // changed in place on OK
};

// True when the document changed (one undo entry recorded). The caller has waited for the
// colour recount and asked about 24-bit data.
bool AskReduceColours(QWidget* owner, ReduceColoursRequest* request);

class ReduceColoursDialog : public QDialog {
  Q_OBJECT

 public:
  ReduceColoursDialog(QWidget* owner, Animation* document, int largestPalette);
  ~ReduceColoursDialog() override;

  bool Changed() const { return changed_; }
  QComboBox* Count() const { return count_; }
  QCheckBox* Dither() const { return dither_; }
  // The method (0 median cut on each palette, 1 high quality) and the high-quality level.
  QComboBox* Method() const { return method_; }
  QSpinBox* Quality() const { return quality_; }
  QLabel* ReducedVolume() const { return reducedVolume_; }
  QLabel* Saving() const { return saving_; }
  QLabel* ReducedColours() const { return reducedColours_; }
  AnimationView* FullView() const { return fullView_; }
  AnimationView* ReducedView() const { return reducedView_; }
  const Animation* Copy() const { return copy_.get(); }
  int Reductions() const { return reductions_; }
  // Whether the size of the last reduction is shown.
  bool Measured() const { return measured_; }
  // Whether a reduction is under way (the dialog keeps answering meanwhile).
  bool Reducing() const { return reducing_; }
  // The wait before the next preview frame while playing, in milliseconds.
  int PlaybackInterval() const { return playback_.interval(); }

  // Starts a reduction unless n and dither (and the method and level shown) are those of the
  // last one (or forced). It runs on a thread of its own while the dialog keeps answering; a
  // request made meanwhile stops it and runs next.
  void StartReduction(int n, bool dither, bool forced);
  void SetLocked(const LockedColours& locked);
  void ShowFrame(int number);
  void Play();
  void Stop();

  // During a reduction, OK waits for it and Cancel (Esc) stops it; the dialog closes after.
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Request {
    int count;
    bool dither;
    bool highQuality;
    int quality;
  };
  enum class Closing { None, Accept, Reject };

  // The copy reduced to n colours, made beside the dialog's thread with the dialog's progress.
  // False when it was stopped or memory ran short (no copy then).
  bool Reduce(const Request& request);
  bool HighQualityChosen() const;
  void MethodChosen();
  void StopSizeThread();
  void SizeMeasured(int generation, int32_t size);
  void TypingDone();
  void ChooseLocked();
  void Zoom(int delta);
  void Tick();

  Animation* document_;
  AnimationPtr copy_;  // read by the size thread alone while it runs
  int lastCount_ = -1;
  bool lastDither_ = false;
  bool lastHighQuality_ = false;
  int lastQuality_ = 0;
  LockedColours locked_{};
  bool anyLocked_ = false;
  int generation_ = 0;
  int reductions_ = 0;
  int32_t documentSize_ = -1;
  int current_ = 1;
  bool shown_ = false;
  bool closing_ = false;
  bool changed_ = false;
  bool measured_ = false;
  bool reducing_ = false;
  std::optional<Request> next_;         // asked for while a reduction ran
  Closing closeAfter_ = Closing::None;  // OK or Cancel while a reduction ran

  AnimationView* fullView_;
  AnimationView* reducedView_;
  QLabel* reducedTitle_;
  QLabel* reducedColours_;
  QLabel* fullVolume_;
  QLabel* reducedVolume_;
  QLabel* saving_;
  QComboBox* count_;
  QCheckBox* dither_;
  QComboBox* method_;
  QSpinBox* quality_;
  QAction* lockedAction_;
  QSlider* slider_;
  QAction* play_;
  QAction* stop_;
  QProgressBar* bar_;
  QLabel* status_;
  QTimer typing_;
  QTimer playback_;
};

}  // namespace lw
