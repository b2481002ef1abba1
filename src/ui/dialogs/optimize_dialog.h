// "Optimiser l'animation": the optimizer's options, each change tried at once on a copy of the
// document in the background, the resulting file size shown; OK keeps the last trial's result.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "colour/optimize_trial.h"
#include "core/animation.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QSpinBox;

namespace lw {

struct OptimizeRequest {
  Animation* document = nullptr;  // changed in place on OK
};

// True when the document changed (one undo entry recorded, unless memory was too short for a
// trial copy). The caller has waited for the colour recount and asked about 24-bit data.
bool AskOptimize(QWidget* owner, OptimizeRequest* request);

class OptimizeDialog : public QDialog {
  Q_OBJECT

 public:
  OptimizeDialog(QWidget* owner, Animation* document);
  ~OptimizeDialog() override;

  bool Changed() const { return changed_; }
  // The options as the controls show them.
  uint32_t ControlOptions() const;

  QCheckBox* CropFrames() const { return crop_; }
  QCheckBox* Duplicates() const { return duplicates_; }
  QCheckBox* RemoveLocal() const { return removeLocal_; }
  QRadioButton* MapToGlobal() const { return mapToGlobal_; }
  QRadioButton* MetaPalette() const { return metaPalette_; }
  QRadioButton* OnlyWhenMerging() const { return onlyWhenMerging_; }
  QCheckBox* ReducePalettes() const { return reducePalettes_; }
  QCheckBox* UselessFrames() const { return useless_; }
  QCheckBox* ChooseDisposal() const { return disposal_; }
  QCheckBox* MinimalCodeSize() const { return codeSize_; }
  QCheckBox* Lossy() const { return lossy_; }
  QSpinBox* LossyAmount() const { return lossyAmount_; }
  QLabel* CurrentSize() const { return currentSize_; }
  QLabel* OptimizedSize() const { return optimizedSize_; }
  QLabel* Saving() const { return saving_; }
  QLabel* SavingPercent() const { return percent_; }
  QLabel* Status() const { return status_; }
  QProgressBar* Bar() const { return bar_; }
  // Trials started so far, for checks.
  int TrialsStarted() const { return trialsStarted_; }

  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Trial;

  void FirstShown();
  void MeasureDocument();
  void StartTrial(int statusText = 0);
  void TrialEnded(int generation);
  void StopTrial();
  void UpdateEnabling();
  void ShowResult(int32_t size);
  QString Grouping() const;

  Animation* document_;
  AnimationPtr copy_;             // the trial copy: touched by the trial thread alone while it runs
  std::shared_ptr<Trial> trial_;  // the last trial started
  int generation_ = 0;            // results of an older trial are not shown
  int trialsStarted_ = 0;
  uint32_t lastOptions_ = ~0u;
  bool lastFinished_ = false;
  bool trialsOff_ = false;  // no memory for a copy: OK optimizes in place
  bool starting_ = false;
  bool restartWanted_ = false;
  bool closing_ = false;
  bool shown_ = false;
  bool ready_ = false;  // the document's size is known: trials may run
  bool changed_ = false;
  int32_t documentSize_ = -1;

  QCheckBox* crop_;
  QCheckBox* duplicates_;
  QCheckBox* removeLocal_;
  QRadioButton* mapToGlobal_;
  QRadioButton* metaPalette_;
  QRadioButton* onlyWhenMerging_;
  QButtonGroup* radios_;
  QCheckBox* reducePalettes_;
  QCheckBox* useless_;
  QCheckBox* disposal_;
  QCheckBox* codeSize_;
  QCheckBox* lossy_;
  QLabel* lossyLabel_;
  QSpinBox* lossyAmount_;
  QLabel* currentSize_;
  QLabel* optimizedSize_;
  QLabel* saving_;
  QLabel* percent_;
  QProgressBar* bar_;
  QLabel* status_;
};

}  // namespace lw
