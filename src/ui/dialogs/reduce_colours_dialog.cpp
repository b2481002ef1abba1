#include "ui/dialogs/reduce_colours_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/messages.h"
#include "base/numbers.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "colour/quantize_hq.h"
#include "colour/reduce_trial.h"
#include "core/frame_player.h"
#include "core/gif_writer.h"
#include "shell/command_ids.h"
#include "shell/options_from_preferences.h"
#include "ui/common/animation_view.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/glyph_icons.h"
#include "ui/common/queued_progress_view.h"
#include "ui/dialogs/index_choice_dialog.h"

namespace lw {

namespace {

// The French grouping whatever the system's language, as every other text here.
QString Separator(const QLocale&) { return QString::fromUtf8(GroupSeparator); }

QLabel* BoldLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  QFont font = label->font();
  font.setWeight(QFont::Bold);
  label->setFont(font);
  return label;
}

}  // namespace

ReduceColoursDialog::ReduceColoursDialog(QWidget* owner, Animation* document, int largestPalette)
    : QDialog(owner), document_(document) {
  setWindowTitle(UiText(str::ReduceTitle));
  auto* layout = new QVBoxLayout(this);

  // The two previews, side by side.
  auto* previews = new QGridLayout;
  fullView_ = new AnimationView(this);
  reducedView_ = new AnimationView(this);
  reducedTitle_ = new QLabel(UiText(str::ReduceReducedPalette), this);
  auto* fullColours = new QLabel(
      UiText(str::ReduceColourCount).replace(QStringLiteral("%d"), QString::number(largestPalette)),
      this);
  reducedColours_ = new QLabel(this);
  fullVolume_ = BoldLabel(this);
  reducedVolume_ = BoldLabel(this);
  saving_ = new QLabel(this);
  previews->addWidget(new QLabel(UiText(str::ReduceFullPalette), this), 0, 0);
  previews->addWidget(reducedTitle_, 0, 1);
  previews->addWidget(fullView_, 1, 0);
  previews->addWidget(reducedView_, 1, 1);
  previews->addWidget(fullColours, 2, 0);
  previews->addWidget(reducedColours_, 2, 1);
  previews->addWidget(fullVolume_, 3, 0);
  previews->addWidget(reducedVolume_, 3, 1);
  previews->addWidget(saving_, 4, 1);
  previews->setRowStretch(1, 1);
  layout->addLayout(previews, 1);

  // Playback acts on both previews.
  auto* bar = new QToolBar(this);
  auto add = [this, bar](int command, Glyph glyph, auto slot) {
    QAction* a = bar->addAction(GlyphIcon(glyph), UiText(command));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  play_ = add(cmd::PreviewPlay, Glyph::Play, [this] { Play(); });
  stop_ = add(cmd::PreviewStop, Glyph::Stop, [this] { Stop(); });
  stop_->setEnabled(false);
  bar->addSeparator();
  int frames = std::max<int>(1, document_->frameCount);
  add(cmd::PreviewFirstFrame, Glyph::First, [this] { ShowFrame(1); });
  add(cmd::PreviewPreviousFrame, Glyph::Previous,
      [this, frames] { ShowFrame(current_ > 1 ? current_ - 1 : frames); });
  add(cmd::PreviewNextFrame, Glyph::Next,
      [this, frames] { ShowFrame(current_ < frames ? current_ + 1 : 1); });
  add(cmd::PreviewLastFrame, Glyph::Last, [this, frames] { ShowFrame(frames); });
  bar->addSeparator();
  add(cmd::ZoomIn, Glyph::ZoomIn, [this] { Zoom(1); });
  add(cmd::ZoomOut, Glyph::ZoomOut, [this] { Zoom(-1); });
  bar->addSeparator();
  lockedAction_ = bar->addAction(GlyphIcon(Glyph::Set), UiText(str::LockedColoursTitle));
  connect(lockedAction_, &QAction::triggered, this, &ReduceColoursDialog::ChooseLocked);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setRange(1, frames);
  connect(slider_, &QSlider::valueChanged, this, [this](int v) { ShowFrame(v); });
  auto* playRow = new QHBoxLayout;
  playRow->addWidget(bar);
  playRow->addWidget(slider_, 1);
  layout->addLayout(playRow);

  // The count and the dither box.
  auto* options = new QHBoxLayout;
  count_ = new QComboBox(this);
  count_->setEditable(true);
  for (const char* n : {"256", "128", "64", "32", "16", "8"}) count_->addItem(n);
  count_->setInsertPolicy(QComboBox::NoInsert);
  int initial = InitialReduceCount(largestPalette);
  count_->setCurrentText(QString::number(initial));
  dither_ = new QCheckBox(UiText(str::ReduceDither), this);
  dither_->setChecked(PrefOn(Pref::ReduceDither));
  options->addWidget(new QLabel(UiText(str::ReduceCountLabel), this));
  options->addWidget(count_);
  options->addSpacing(12);
  options->addWidget(dither_);
  options->addStretch(1);
  layout->addLayout(options);

  // The method, and the level the high-quality one works at.
  auto* methodRow = new QHBoxLayout;
  method_ = new QComboBox(this);
  method_->addItem(UiText(str::ReduceMethodMedianCut));
  method_->addItem(UiText(str::HighQualityMethod));
  method_->setCurrentIndex(PrefOn(Pref::ReduceHighQuality) ? 1 : 0);
  quality_ = new QSpinBox(this);
  quality_->setRange(MinQuality, MaxQuality);
  const int storedQuality = static_cast<int>(PrefFieldValue(PrefField::ReduceQuality));
  quality_->setValue(storedQuality > 0 ? storedQuality : DefaultQuality);
  quality_->setToolTip(UiText(str::QualityTip));
  quality_->setKeyboardTracking(false);  // one reduction once the level is typed, not per digit
  methodRow->addWidget(new QLabel(UiText(str::ReduceMethodLabel), this));
  methodRow->addWidget(method_);
  methodRow->addSpacing(12);
  methodRow->addWidget(new QLabel(UiText(str::QualityLabel), this));
  methodRow->addWidget(quality_);
  methodRow->addStretch(1);
  layout->addLayout(methodRow);
  MethodChosen();

  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  status_ = new QLabel(UiText(str::ReduceStatus), this);
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addWidget(OkCancelButtons(this));

  typing_.setSingleShot(true);
  typing_.setInterval(500);
  connect(&typing_, &QTimer::timeout, this, &ReduceColoursDialog::TypingDone);
  connect(count_, &QComboBox::activated, this, [this](int index) {
    typing_.stop();
    StartReduction(count_->itemText(index).toInt(), dither_->isChecked(), false);
  });
  connect(count_->lineEdit(), &QLineEdit::textEdited, this, [this] { typing_.start(); });
  connect(dither_, &QCheckBox::clicked, this,
          [this](bool on) { StartReduction(lastCount_, on, false); });
  connect(method_, &QComboBox::activated, this, [this] {
    MethodChosen();
    StartReduction(lastCount_, dither_->isChecked(), false);
  });
  connect(quality_, &QSpinBox::valueChanged, this,
          [this] { StartReduction(lastCount_, dither_->isChecked(), false); });
  playback_.setSingleShot(true);
  connect(&playback_, &QTimer::timeout, this, &ReduceColoursDialog::Tick);

  fullView_->SetAnimation(document_);
  fullView_->ShowFrame(1, true);
  lastCount_ = initial;
  WaitTasks(task::SizeEstimate, true);
  documentSize_ = EstimateEncodedSize(*document_, false, SaveSignatureFromPreferences(), nullptr);
  fullVolume_->setText(
      QString::fromStdString(ReduceVolumeText(documentSize_, Separator(locale()).toStdString())));
  reducedTitle_->hide();
}

ReduceColoursDialog::~ReduceColoursDialog() {
  // A size thread must never outlive the copy it reads.
  ++generation_;
  StopTasks(task::ReducePreview);
}

void ReduceColoursDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (QWidget* owner = parentWidget()) move(owner->window()->geometry().center() - rect().center());
  // After the first paint.
  QTimer::singleShot(0, this, [this] {
    if (!closing_) StartReduction(lastCount_, dither_->isChecked(), true);
  });
}

void ReduceColoursDialog::StopSizeThread() { StopTasksPumping(task::ReducePreview, this); }

bool ReduceColoursDialog::HighQualityChosen() const { return method_->currentIndex() == 1; }

// The high-quality method picks its colours from its level and makes one palette for all, so
// the count and the locked colours serve the median cut alone.
void ReduceColoursDialog::MethodChosen() {
  const bool highQuality = HighQualityChosen();
  quality_->setEnabled(highQuality);
  count_->setEnabled(!highQuality);
  lockedAction_->setEnabled(!highQuality && document_->globalPalette != nullptr);
}

void ReduceColoursDialog::StartReduction(int n, bool dither, bool forced) {
  if (closing_) return;
  n = ClampReduceCount(n);
  Request request{n, dither, HighQualityChosen(), quality_->value()};
  if (reducing_) {
    // The reduction under way is overtaken: it stops at its next report, then this one runs.
    next_ = request;
    ProgressCancel();
    return;
  }
  if (!forced && n == lastCount_ && dither == lastDither_ &&
      request.highQuality == lastHighQuality_ &&
      (!request.highQuality || request.quality == lastQuality_) && copy_)
    return;
  int generation = ++generation_;
  StopSizeThread();
  // Closed or overtaken by a newer request while the stop was being awaited.
  if (closing_ || generation != generation_) return;
  bool made = false;
  for (;;) {
    lastCount_ = request.count;
    lastDither_ = request.dither;
    lastHighQuality_ = request.highQuality;
    lastQuality_ = request.quality;
    measured_ = false;
    bar_->setRange(0, 100);
    bar_->setValue(0);
    reducedVolume_->clear();
    saving_->clear();
    reducedColours_->clear();
    reducedTitle_->hide();
    made = Reduce(request);
    if (closeAfter_ != Closing::None) {
      Closing close = closeAfter_;
      closeAfter_ = Closing::None;
      next_.reset();
      if (close == Closing::Accept)
        accept();
      else
        reject();
      return;
    }
    if (!next_) break;
    request = *next_;
    next_.reset();
    generation = ++generation_;
  }
  if (!made) {
    ShowErrorId(str::ReduceNoMemory);
    reject();
    return;
  }
  ++reductions_;
  reducedView_->SetAnimation(copy_.get());
  reducedView_->ShowFrame(current_, true);

  status_->setText(UiText(str::ReduceMeasuring));
  auto view = std::make_shared<QueuedProgressView>(
      this, bar_, status_,
      [dialog = this, generation] { return dialog->generation_ == generation; });
  auto size = std::make_shared<int32_t>(-1);
  Animation* copy = copy_.get();
  WindowHandle handle = this;
  ReduceColoursDialog* dialog = this;
  auto work = [view, size, copy, handle, dialog, generation](ProgressMeter*) {
    {
      ProgressMeterPtr meter(CreateProgressMeterIn(
          handle, progress::Background | progress::InDialog, task::ReducePreview, view.get()));
      *size = EstimateEncodedSize(*copy, true, SaveSignatureFromPreferences(), meter.get());
      if (!ProgressStep(meter.get())) *size = -1;
    }
    int32_t measured = *size;
    // Posted while the task still runs, so the dialog is still there.
    QMetaObject::invokeMethod(
        dialog, [dialog, generation, measured] { dialog->SizeMeasured(generation, measured); },
        Qt::QueuedConnection);
  };
  StartBackgroundTask(task::ReducePreview, work, {}, true);
}

bool ReduceColoursDialog::Reduce(const Request& request) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  status_->setText(UiText(str::ReduceCopying));
  reducedView_->SetAnimation(nullptr);
  copy_.reset();
  // The work gets its own copy of what the dialog may change while it runs.
  const std::optional<LockedColours> locked =
      anyLocked_ ? std::optional<LockedColours>(locked_) : std::nullopt;
  const int generation = generation_;
  QueuedProgressView view(this, bar_, status_,
                          [this, generation] { return generation_ == generation; });
  ProgressMeterPtr meter(CreateProgressMeterIn(this, progress::InDialog, 0, &view));
  const Animation& document = *document_;
  AnimationPtr copy;
  bool made = false;
  const bool keepTrueColour = KeepTrueColourFromPreferences();
  reducing_ = true;
  RunPumping(meter.get(), [&] {
    made = request.highQuality ? MakeReducedCopyHq(document, request.quality, request.dither,
                                                   keepTrueColour, meter.get(), &copy)
                               : MakeReducedCopy(document, request.count, request.dither,
                                                 locked ? &*locked : nullptr, meter.get(), &copy);
  });
  reducing_ = false;
  ProgressClose(meter.get());
  QApplication::restoreOverrideCursor();
  if (made) copy_ = std::move(copy);
  return made;
}

void ReduceColoursDialog::SizeMeasured(int generation, int32_t size) {
  if (generation != generation_ || closing_) return;
  WaitTasks(task::ReducePreview, false);
  status_->clear();
  if (size < 0) return;
  std::string separator = Separator(locale()).toStdString();
  // The high-quality method may make fewer colours than its level allows.
  const int colours = lastHighQuality_ && copy_ ? LargestPaletteSize(*copy_) : lastCount_;
  reducedColours_->setText(
      UiText(str::ReduceColourCount).replace(QStringLiteral("%d"), QString::number(colours)));
  reducedTitle_->show();
  reducedVolume_->setText(QString::fromStdString(ReduceVolumeText(size, separator)));
  saving_->setText(QString::fromStdString(ReduceSavingText(documentSize_, size, separator)));
  measured_ = true;
}

void ReduceColoursDialog::TypingDone() {
  int n = ClampReduceCount(count_->currentText().toInt());
  count_->setCurrentText(QString::number(n));
  StartReduction(n, dither_->isChecked(), false);
}

void ReduceColoursDialog::SetLocked(const LockedColours& locked) {
  locked_ = locked;
  anyLocked_ = std::any_of(locked.begin(), locked.end(), [](bool b) { return b; });
  StartReduction(lastCount_, dither_->isChecked(), true);
}

void ReduceColoursDialog::ChooseLocked() {
  if (!document_->globalPalette) return;
  TransparencyChoice choice;
  choice.count = 0;
  for (int i = 0; i < 256; ++i)
    if (locked_[i]) choice.indexes[choice.count++] = static_cast<uint8_t>(i);
  const Frame* image = FrameAt(*document_, current_ - 1);
  if (image && image->localPalette) image = nullptr;
  if (!AskLockedColours(this, *document_->globalPalette, image, &choice)) return;
  LockedColours locked{};
  for (int i = 0; i < std::clamp(choice.count, 0, 256); ++i) locked[choice.indexes[i]] = true;
  SetLocked(locked);
}

void ReduceColoursDialog::ShowFrame(int number) {
  number = std::clamp(number, 1, std::max<int>(1, document_->frameCount));
  bool restart = number < current_;
  current_ = number;
  fullView_->ShowFrame(number, restart);
  if (copy_) reducedView_->ShowFrame(number, restart);
  if (slider_->value() != number) {
    QSignalBlocker block(slider_);
    slider_->setValue(number);
  }
}

void ReduceColoursDialog::Zoom(int delta) {
  fullView_->SetZoomStep(fullView_->ZoomStep() + delta);
  reducedView_->SetZoomStep(fullView_->ZoomStep());
}

void ReduceColoursDialog::Play() {
  play_->setEnabled(false);
  stop_->setEnabled(true);
  Tick();
}

void ReduceColoursDialog::Stop() {
  playback_.stop();
  play_->setEnabled(true);
  stop_->setEnabled(false);
}

void ReduceColoursDialog::Tick() {
  if (playback_.isActive() || !stop_->isEnabled()) return;
  ShowFrame(current_ >= document_->frameCount ? 1 : current_ + 1);
  const Frame* frame = FrameAt(*document_, current_ - 1);
  int delay = frame ? PlayedDelayMilliseconds(frame->delay, DelayUnitsFromPreferences()) : 100;
  playback_.start(std::max(delay, 20));
}

void ReduceColoursDialog::accept() {
  if (closing_) return;
  if (reducing_) {
    // OK keeps the reduction the user is waiting for: the dialog closes once it is made.
    if (closeAfter_ == Closing::None) closeAfter_ = Closing::Accept;
    return;
  }
  closing_ = true;
  Stop();
  typing_.stop();
  ++generation_;
  StopSizeThread();
  // A level is kept only once the high-quality method has been used with it.
  const int quality = HighQualityChosen()
                          ? quality_->value()
                          : static_cast<int>(PrefFieldValue(PrefField::ReduceQuality));
  SetPref(PrefReduceColors, ReduceSetting(count_->currentText().toInt(), dither_->isChecked(),
                                          HighQualityChosen(), quality));
  reducedView_->SetAnimation(nullptr);
  changed_ = KeepReducedCopy(*document_, std::move(copy_));
  fullView_->SetAnimation(nullptr);
  QDialog::accept();
}

void ReduceColoursDialog::reject() {
  if (closing_) return;
  if (reducing_) {
    closeAfter_ = Closing::Reject;
    ProgressCancel();
    return;
  }
  closing_ = true;
  Stop();
  typing_.stop();
  ++generation_;
  StopSizeThread();
  reducedView_->SetAnimation(nullptr);
  copy_.reset();
  QDialog::reject();
}

bool AskReduceColours(QWidget* owner, ReduceColoursRequest* request) {
  if (!request || !request->document) return false;
  int largest = LargestPaletteSize(*request->document);
  if (largest <= 2) {
    AskUser(owner, str::ReduceNothing, str::ReduceNothingTitle, mb::Ok | mb::IconExclamation);
    return false;
  }
  ReduceColoursDialog dialog(owner, request->document, largest);
  dialog.exec();
  return dialog.Changed();
}

}  // namespace lw
