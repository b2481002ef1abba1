#include "ui/dialogs/optimize_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <chrono>
#include <thread>

#include "base/messages.h"
#include "base/numbers.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "colour/lossy.h"
#include "core/gif_writer.h"
#include "shell/options_from_preferences.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/queued_progress_view.h"

namespace lw {

// What one trial leaves for the dialog. The thread writes it before the task's running bit
// drops; the dialog reads it only after that.
struct OptimizeDialog::Trial {
  int generation = 0;
  OptimizeOptions options;
  TrialStatus status = TrialStatus::Stopped;
  int32_t size = -1;
};

namespace {

constexpr uint32_t kRadioBits = optimize::MapToGlobalPalette | optimize::BuildMetaPalette;

bool AnyLocalPalette(const Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    if (f->localPalette) return true;
  return false;
}

QLabel* SizeField(QWidget* parent) {
  auto* field = new QLabel(parent);
  field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  field->setMinimumWidth(130);
  field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return field;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

OptimizeDialog::OptimizeDialog(QWidget* owner, Animation* document)
    : QDialog(owner), document_(document) {
  setWindowTitle(UiText(str::OptimizeTitle));
  auto* layout = new QVBoxLayout(this);

  crop_ = new QCheckBox(UiText(str::OptimizeCropFrames), this);
  duplicates_ = new QCheckBox(UiText(str::OptimizeDuplicates), this);
  useless_ = new QCheckBox(UiText(str::OptimizeUselessFrames), this);
  disposal_ = new QCheckBox(UiText(str::OptimizeChooseDisposal), this);
  codeSize_ = new QCheckBox(UiText(str::OptimizeMinimalCodeSize), this);
  removeLocal_ = new QCheckBox(UiText(str::OptimizeRemoveLocal), this);
  mapToGlobal_ = new QRadioButton(UiText(str::OptimizeMapToGlobal), this);
  metaPalette_ = new QRadioButton(UiText(str::OptimizeMetaPalette), this);
  onlyWhenMerging_ = new QRadioButton(UiText(str::OptimizeOnlyWhenMerging), this);
  reducePalettes_ = new QCheckBox(UiText(str::OptimizeReducePalettes), this);
  radios_ = new QButtonGroup(this);
  for (QRadioButton* r : {mapToGlobal_, metaPalette_, onlyWhenMerging_}) radios_->addButton(r);

  layout->addWidget(crop_);
  for (QCheckBox* dependant : {duplicates_, useless_, disposal_, codeSize_}) {
    auto* row = new QHBoxLayout;
    row->addSpacing(20);
    row->addWidget(dependant);
    layout->addLayout(row);
  }
  layout->addWidget(removeLocal_);
  for (QRadioButton* r : {mapToGlobal_, metaPalette_, onlyWhenMerging_}) {
    auto* row = new QHBoxLayout;
    row->addSpacing(20);
    row->addWidget(r);
    layout->addLayout(row);
  }
  layout->addWidget(reducePalettes_);

  // The lossy step comes after the others: it trades exact colours for size.
  lossy_ = new QCheckBox(UiText(str::OptimizeLossy), this);
  lossyLabel_ = new QLabel(UiText(str::OptimizeLossyAmount), this);
  lossyAmount_ = new QSpinBox(this);
  lossyAmount_->setRange(1, LossyLargestTolerance);
  lossyLabel_->setBuddy(lossyAmount_);
  layout->addWidget(lossy_);
  auto* lossyRow = new QHBoxLayout;
  lossyRow->addSpacing(20);
  lossyRow->addWidget(lossyLabel_);
  lossyRow->addWidget(lossyAmount_);
  lossyRow->addStretch(1);
  layout->addLayout(lossyRow);

  auto* sizes = new QGridLayout;
  currentSize_ = SizeField(this);
  optimizedSize_ = SizeField(this);
  saving_ = SizeField(this);
  percent_ = new QLabel(this);
  percent_->setMinimumWidth(60);
  sizes->addWidget(new QLabel(UiText(str::OptimizeCurrentSize), this), 0, 0);
  sizes->addWidget(currentSize_, 0, 1);
  sizes->addWidget(new QLabel(UiText(str::OptimizeOptimizedSize), this), 1, 0);
  sizes->addWidget(optimizedSize_, 1, 1);
  sizes->addWidget(new QLabel(UiText(str::OptimizeSaving), this), 2, 0);
  sizes->addWidget(saving_, 2, 1);
  sizes->addWidget(percent_, 2, 2);
  sizes->setColumnStretch(3, 1);
  layout->addSpacing(6);
  layout->addLayout(sizes);

  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  status_ = new QLabel(this);
  status_->setMinimumHeight(status_->fontMetrics().height());
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addWidget(OkCancelButtons(this));

  // The stored options.
  uint32_t stored = GetPref(PrefOptimize);
  crop_->setChecked(stored & optimize::CropFrames);
  duplicates_->setChecked(stored & optimize::DuplicatesToTransparency);
  removeLocal_->setChecked(stored & optimize::RemoveLocalPalettes);
  reducePalettes_->setChecked(stored & optimize::ReducePalettes);
  useless_->setChecked(stored & optimize::RemoveUselessFrames);
  disposal_->setChecked(stored & optimize::ChooseDisposal);
  codeSize_->setChecked(stored & optimize::MinimalCodeSize);
  lossy_->setChecked(LossyToleranceOf(stored) > 0);
  const int amount = static_cast<int>(FieldIn(stored, PrefField::OptimizeLossyAmount));
  lossyAmount_->setValue(amount > 0 ? amount : LossyDefaultTolerance);
  if (stored & optimize::MapToGlobalPalette)
    mapToGlobal_->setChecked(true);
  else if (stored & optimize::BuildMetaPalette)
    metaPalette_->setChecked(true);
  else
    onlyWhenMerging_->setChecked(true);
  removeLocal_->setEnabled(AnyLocalPalette(*document_));
  if (!document_->globalPalette) metaPalette_->setChecked(true);
  UpdateEnabling();

  connect(crop_, &QCheckBox::clicked, this, [this] {
    UpdateEnabling();
    StartTrial();
  });
  connect(duplicates_, &QCheckBox::clicked, this, [this] { StartTrial(); });
  connect(reducePalettes_, &QCheckBox::clicked, this, [this] { StartTrial(); });
  connect(disposal_, &QCheckBox::clicked, this, [this] { StartTrial(); });
  connect(codeSize_, &QCheckBox::clicked, this, [this] { StartTrial(); });
  connect(lossy_, &QCheckBox::clicked, this, [this] {
    UpdateEnabling();
    StartTrial();
  });
  connect(lossyAmount_, &QSpinBox::valueChanged, this, [this] { StartTrial(); });
  connect(removeLocal_, &QCheckBox::clicked, this, [this](bool checked) {
    if (checked && !document_->globalPalette) metaPalette_->setChecked(true);
    UpdateEnabling();
    StartTrial();
  });
  connect(radios_, &QButtonGroup::buttonClicked, this, [this] { StartTrial(); });
  connect(useless_, &QCheckBox::clicked, this, [this](bool checked) {
    int text = checked ? str::OptimizeSeekingRemovable : str::OptimizeSeekingRemoved;
    // Whether the last result can answer without a new run.
    if (lastFinished_ && copy_ && !TaskRunning(task::OptimizeTrial) &&
        !UselessFramesToggleNeedsTrial(checked, *document_, *copy_)) {
      lastOptions_ = TrialOptions(ControlOptions(), removeLocal_->isEnabled());
      return;
    }
    StartTrial(text);
  });
}

OptimizeDialog::~OptimizeDialog() {
  // Normally stopped on the way out already; a trial must never outlive its dialog.
  ++generation_;
  StopTasks(task::OptimizeTrial);
}

uint32_t OptimizeDialog::ControlOptions() const {
  uint32_t o = 0;
  if (crop_->isChecked()) o |= optimize::CropFrames;
  if (duplicates_->isChecked()) o |= optimize::DuplicatesToTransparency;
  if (removeLocal_->isChecked()) o |= optimize::RemoveLocalPalettes;
  if (mapToGlobal_->isChecked()) o |= optimize::MapToGlobalPalette;
  if (metaPalette_->isChecked()) o |= optimize::BuildMetaPalette;
  if (reducePalettes_->isChecked()) o |= optimize::ReducePalettes;
  if (useless_->isChecked()) o |= optimize::RemoveUselessFrames;
  if (disposal_->isChecked()) o |= optimize::ChooseDisposal;
  if (codeSize_->isChecked()) o |= optimize::MinimalCodeSize;
  return WithLossyTolerance(o, lossy_->isChecked() ? lossyAmount_->value() : 0);
}

void OptimizeDialog::UpdateEnabling() {
  duplicates_->setEnabled(crop_->isChecked());
  useless_->setEnabled(crop_->isChecked());
  disposal_->setEnabled(crop_->isChecked());
  codeSize_->setEnabled(crop_->isChecked());
  lossyLabel_->setEnabled(lossy_->isChecked());
  lossyAmount_->setEnabled(lossy_->isChecked());
  bool radios = removeLocal_->isEnabled() && removeLocal_->isChecked();
  bool global = document_->globalPalette != nullptr;
  mapToGlobal_->setEnabled(radios && global);
  metaPalette_->setEnabled(radios);
  onlyWhenMerging_->setEnabled(radios && global);
}

QString OptimizeDialog::Grouping() const {
  // The French grouping whatever the system's language, as every other text here.
  return QString::fromUtf8(GroupSeparator);
}

void OptimizeDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (QWidget* owner = parentWidget()) move(owner->window()->geometry().center() - rect().center());
  // After the first paint.
  QTimer::singleShot(0, this, &OptimizeDialog::FirstShown);
}

void OptimizeDialog::FirstShown() {
  if (closing_ || ready_) return;
  MeasureDocument();
  StartTrial();
}

void OptimizeDialog::MeasureDocument() {
  if (ready_) return;
  WaitTasks(task::SizeEstimate, true);
  documentSize_ = EstimateEncodedSize(*document_, false, SaveSignatureFromPreferences(), nullptr);
  currentSize_->setText(
      QString::fromStdString(SizeFieldText(documentSize_, Grouping().toStdString())));
  ready_ = true;
}

void OptimizeDialog::StopTrial() {
  // Pumping while waiting: a message the trial shows needs the interface thread.
  StopTasksPumping(task::OptimizeTrial, this);
}

void OptimizeDialog::StartTrial(int statusText) {
  if (trialsOff_ || !ready_) return;
  if (starting_) {
    // A click while the previous trial is being stopped: run once more when that is done.
    restartWanted_ = true;
    return;
  }
  starting_ = true;
  do {
    restartWanted_ = false;
    uint32_t options = TrialOptions(ControlOptions(), removeLocal_->isEnabled());
    if (options == lastOptions_ && (lastFinished_ || TaskRunning(task::OptimizeTrial))) break;
    lastOptions_ = options;
    lastFinished_ = false;
    int generation = ++generation_;
    optimizedSize_->clear();
    saving_->clear();
    percent_->clear();
    bar_->setRange(0, 100);
    bar_->setValue(0);
    status_->setText(statusText ? UiText(statusText) : QString());
    StopTrial();
    if (restartWanted_ || closing_) continue;

    auto trial = std::make_shared<Trial>();
    trial->generation = generation;
    trial->options = OptimizeOptionsFromPreferences(options);
    trial_ = trial;
    auto view = std::make_shared<QueuedProgressView>(
        this, bar_, status_,
        [dialog = this, generation] { return dialog->generation_ == generation; });
    Animation* document = document_;
    AnimationPtr* copy = &copy_;
    WindowHandle handle = this;
    OptimizeDialog* dialog = this;
    auto work = [trial, view, document, copy, handle, dialog, generation](ProgressMeter*) {
      {
        ProgressMeterPtr meter(CreateProgressMeterIn(
            handle, progress::Background | progress::InDialog, task::OptimizeTrial, view.get()));
        trial->status =
            RunOptimizeTrialWithLossy(*document, trial->options, meter.get(), copy, &trial->size);
      }
      // Posted while the task still runs, so the dialog is still there; it waits the moment
      // left until the running bit drops before it reads the result.
      QMetaObject::invokeMethod(
          dialog, [dialog, generation] { dialog->TrialEnded(generation); }, Qt::QueuedConnection);
    };
    ++trialsStarted_;
    if (!StartBackgroundTask(task::OptimizeTrial, work, {}, true)) {
      trial_.reset();
      trialsOff_ = true;
    }
  } while (restartWanted_ && !closing_);
  starting_ = false;
}

void OptimizeDialog::TrialEnded(int generation) {
  if (generation != generation_ || !trial_ || trial_->generation != generation) return;
  // No newer trial started, so what runs is this one on its way out.
  WaitTasks(task::OptimizeTrial, false);
  switch (trial_->status) {
    case TrialStatus::Done:
      lastFinished_ = true;
      ShowResult(trial_->size);
      break;
    case TrialStatus::NoMemory:
      trialsOff_ = true;
      ShowErrorId(str::OptimizeNoTrialMemory);
      break;
    case TrialStatus::Stopped: break;
  }
  status_->clear();
}

void OptimizeDialog::ShowResult(int32_t size) {
  std::string separator = Grouping().toStdString();
  optimizedSize_->setText(QString::fromStdString(SizeFieldText(size, separator)));
  std::string saving, percent;
  SavingTexts(documentSize_, size, separator, &saving, &percent);
  saving_->setText(QString::fromStdString(saving));
  percent_->setText(QString::fromStdString(percent));
}

void OptimizeDialog::accept() {
  if (closing_) return;
  if (starting_) {
    // Clicked while a trial was being stopped: once the new one is under way.
    QTimer::singleShot(0, this, &OptimizeDialog::accept);
    return;
  }
  MeasureDocument();
  // A trial for the options shown, unless one ran or runs already.
  StartTrial();
  closing_ = true;
  SetPref(PrefOptimize, StoredOptions(ControlOptions()));
  // Only the trial's own reports get through meanwhile: no click reaches the window.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  while (TaskRunning(task::OptimizeTrial)) {
    Sleep(10);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  ++generation_;
  if (!trialsOff_ && trial_ && trial_->status == TrialStatus::Done) {
    changed_ =
        KeepOptimizeTrial(*document_, std::move(copy_), trial_->size, trial_->options.signature);
  } else {
    copy_.reset();
    OptimizeInPlaceWithLossy(
        *document_,
        OptimizeOptionsFromPreferences(TrialOptions(ControlOptions(), removeLocal_->isEnabled())),
        nullptr);
    changed_ = true;
  }
  QApplication::restoreOverrideCursor();
  QDialog::accept();
}

void OptimizeDialog::reject() {
  if (closing_) return;
  closing_ = true;
  ++generation_;
  StopTrial();
  copy_.reset();
  QDialog::reject();
}

bool AskOptimize(QWidget* owner, OptimizeRequest* request) {
  if (!request || !request->document) return false;
  OptimizeDialog dialog(owner, request->document);
  dialog.exec();
  return dialog.Changed();
}

}  // namespace lw
