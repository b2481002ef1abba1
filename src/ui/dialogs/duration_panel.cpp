#include "ui/dialogs/duration_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <cmath>

#include "base/string_ids.h"
#include "core/undo.h"
#include "ui/common/glyph_icons.h"
#include "ui/common/ui_text.h"

namespace lw {
namespace {

Glyph OperationGlyph(DurationOperation op) {
  switch (op) {
    case DurationOperation::Set: return Glyph::Set;
    case DurationOperation::Add: return Glyph::Add;
    case DurationOperation::Subtract: return Glyph::Subtract;
    case DurationOperation::Multiply: return Glyph::Multiply;
    case DurationOperation::Divide: return Glyph::Divide;
  }
  return Glyph::Set;
}

QToolButton* PanelButton(QWidget* parent, Glyph glyph, const char* name) {
  auto* b = new QToolButton(parent);
  b->setIcon(GlyphIcon(glyph, 18));
  b->setIconSize(QSize(18, 18));
  b->setAutoRaise(false);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QLineEdit* NumberField(QWidget* parent, int tipId, const char* name, int width) {
  auto* e = new QLineEdit(parent);
  e->setToolTip(UiText(tipId));
  e->setObjectName(QString::fromLatin1(name));
  e->setFixedWidth(width);
  e->setAlignment(Qt::AlignRight);
  return e;
}

}  // namespace

DurationPanel::DurationPanel(Animation* document, QWidget* parent)
    : QGroupBox(UiText(str::DurIntervallesDesCadres), parent), document_(document) {
  frameField_ = NumberField(this, str::DurNumeroCadre, "frameNumber", 52);
  frameField_->setReadOnly(true);
  frameField_->setFocusPolicy(Qt::NoFocus);
  before_ = NumberField(this, str::DurSecondeDintervalleAvantLimage, "delayBefore", 64);
  after_ = NumberField(this, str::DurSecondeDintervalleApresLimage, "delayAfter", 64);
  for (QLineEdit* e : {before_, after_}) e->setValidator(new QIntValidator(0, int(MaxDelay), e));
  value_ = NumberField(this, str::DurValeurImpliciteDesIntervalles, "operand", 64);
  value_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[-+]?[0-9]{0,7}([.,][0-9]{0,6})?")), value_));

  previous_ = PanelButton(this, Glyph::Previous, "previousFrame");
  // The texts of the preview's own frame buttons.
  previous_->setToolTip(UiText(str::PreviewPreviousFrameTip));
  next_ = PanelButton(this, Glyph::Next, "nextFrame");
  next_->setToolTip(UiText(str::PreviewNextFrameTip));
  reset_ = PanelButton(this, Glyph::Reset, "reset");
  reset_->setToolTip(UiText(str::DurRemettreDureeValeurOriginale));
  apply_ = PanelButton(this, Glyph::Apply, "apply");
  apply_->setToolTip(UiText(str::DurModifierDureeToutesLes));
  operationButton_ = PanelButton(this, Glyph::Set, "operation");
  operationButton_->setPopupMode(QToolButton::InstantPopup);

  operationMenu_ = new QMenu(this);
  const struct {
    DurationOperation op;
    int text;
  } operations[] = {
      {DurationOperation::Set, str::DurReglerToutesLesIntervalles},
      {DurationOperation::Add, str::DurAjouterValeurToutesLes},
      {DurationOperation::Subtract, str::DurSoustraireValeurToutesLes},
      {DurationOperation::Multiply, str::DurMultiplierToutesLesIntervalles},
      {DurationOperation::Divide, str::DurDiviserToutesLesIntervalles},
  };
  for (const auto& o : operations) {
    QAction* a = operationMenu_->addAction(GlyphIcon(OperationGlyph(o.op), 18), UiText(o.text));
    DurationOperation op = o.op;
    connect(a, &QAction::triggered, this, [this, op] { SetOperation(op); });
  }
  operationButton_->setMenu(operationMenu_);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(10, 8, 10, 8);
  grid->setHorizontalSpacing(6);
  auto* frameRow = new QHBoxLayout;
  frameRow->addWidget(previous_);
  frameRow->addWidget(frameField_);
  frameRow->addWidget(next_);
  frameRow->addSpacing(14);
  frameRow->addWidget(new QLabel(UiText(str::DurAvant), this));
  frameRow->addWidget(before_);
  frameRow->addSpacing(8);
  frameRow->addWidget(new QLabel(UiText(str::DurApres), this));
  frameRow->addWidget(after_);
  frameRow->addStretch(1);
  grid->addLayout(frameRow, 0, 0);
  auto* allRow = new QHBoxLayout;
  auto* label = new QLabel(UiText(str::DurToutesLesIntervalles), this);
  label->setObjectName(QStringLiteral("allLabel"));
  allRow->addWidget(label);
  allRow->addWidget(operationButton_);
  allRow->addWidget(value_);
  allRow->addWidget(apply_);
  allRow->addSpacing(14);
  allRow->addWidget(reset_);
  allRow->addStretch(1);
  grid->addLayout(allRow, 1, 0);

  connect(previous_, &QToolButton::clicked, this, &DurationPanel::previousFrameRequested);
  connect(next_, &QToolButton::clicked, this, &DurationPanel::nextFrameRequested);
  connect(before_, &QLineEdit::textChanged, this,
          [this](const QString& t) { EditedField(true, t); });
  connect(after_, &QLineEdit::textChanged, this,
          [this](const QString& t) { EditedField(false, t); });
  connect(value_, &QLineEdit::textChanged, this, &DurationPanel::UpdateApplyButton);
  connect(value_, &QLineEdit::returnPressed, this, &DurationPanel::ApplyOperation);
  connect(apply_, &QToolButton::clicked, this, &DurationPanel::ApplyOperation);
  connect(reset_, &QToolButton::clicked, this, &DurationPanel::Reset);
  Load();
}

void DurationPanel::Load() {
  table_ = document_ ? LoadDelayTable(*document_) : DelayTable{};
  SetOperation(DurationOperation::Set);
  guard_ = true;
  bool same = !table_.empty();
  for (float v : table_) same = same && v == table_.front();
  value_->setText(same ? QString::number(DelayFromTableValue(table_.front())) : QString());
  guard_ = false;
  edited_ = false;
  record_ = nullptr;
  reset_->setEnabled(false);
  UpdateApplyButton();
  ShowFrame(table_.empty() ? 0 : 1);
}

void DurationPanel::SetOperation(DurationOperation operation) {
  operation_ = operation;
  operationButton_->setIcon(GlyphIcon(OperationGlyph(operation), 18));
  const auto actions = operationMenu_->actions();
  int i = static_cast<int>(operation);
  if (i < actions.size()) operationButton_->setToolTip(actions[i]->text());
}

void DurationPanel::UpdateApplyButton() { apply_->setEnabled(!value_->text().trimmed().isEmpty()); }

void DurationPanel::ShowFrame(int k) {
  int n = static_cast<int>(table_.size());
  if (k < 1 || k > n) {
    guard_ = true;
    frameField_->clear();
    before_->clear();
    after_->clear();
    guard_ = false;
    shown_ = 0;
    return;
  }
  shown_ = k;
  guard_ = true;
  frameField_->setText(QString::number(k));
  after_->setText(QString::number(DelayFromTableValue(table_[k - 1])));
  int p = PreviousFrameNumber(k, n);
  if (p == k) {
    before_->clear();
    before_->setEnabled(false);
  } else {
    before_->setEnabled(true);
    before_->setText(QString::number(DelayFromTableValue(table_[p - 1])));
  }
  guard_ = false;
}

void DurationPanel::EditedField(bool before, const QString& text) {
  if (guard_ || shown_ < 1 || !document_) return;
  bool ok = false;
  int typed = text.toInt(&ok);
  // A field being emptied to type another number is no delay yet.
  if (!ok || typed < 0 || typed > static_cast<int>(MaxDelay)) return;
  int n = static_cast<int>(table_.size());
  int frame = before ? PreviousFrameNumber(shown_, n) : shown_;
  if (frame < 1 || frame > n) return;
  table_[frame - 1] = static_cast<float>(typed);
  WriteFrames(frame - 1);
  reset_->setEnabled(true);
}

void DurationPanel::WriteFrames(int index) {
  if (!document_) return;
  if (!edited_) {
    original_ = FrameDelays(*document_);
    // The entry keeps the delays as they are now; every later change until the reset joins it.
    record_ = RecordUndo(UndoKind::EditDurations, *document_);
    WriteDelayTable(*document_, table_);
    edited_ = true;
  } else if (index < 0) {
    WriteDelayTable(*document_, table_);
  } else if (Frame* f = FrameAt(*document_, index); f && index < static_cast<int>(table_.size())) {
    f->delay = DelayFromTableValue(table_[index]);
  }
  emit delaysWritten();
}

bool DurationPanel::ApplyOperation() {
  double v = 0;
  if (table_.empty() || !ParseDurationOperand(value_->text().toStdString(), operation_, &v) ||
      !ApplyDurationOperation(table_, operation_, v)) {
    return false;
  }
  WriteFrames(-1);
  reset_->setEnabled(true);
  ShowFrame(shown_);
  return true;
}

void DurationPanel::Reset() {
  if (!edited_ || !document_) return;
  auto ours = [this] { return record_ && History().cursor == record_; };
  if (ours()) {
    // Undone and dropped: the reset leaves no entry behind, not even one to redo.
    UndoStep(UndoStep::Restore, record_, *document_).Withdraw();
    emit delaysWritten();
  } else {
    // No entry could be kept (undo off or memory short), or it is no longer the latest: put the
    // delays back by hand rather than undo someone else's change.
    size_t i = 0;
    for (Frame* f = FirstFrame(*document_); f && i < original_.size(); f = NextFrame(f), ++i)
      f->delay = original_[i];
    emit delaysWritten();
  }
  int shown = shown_;
  table_ = LoadDelayTable(*document_);
  edited_ = false;
  record_ = nullptr;
  reset_->setEnabled(false);
  ShowFrame(shown);
}

void DurationPanel::ReloadDelays() {
  if (!document_) return;
  table_ = LoadDelayTable(*document_);
  // An undo of this run's entry from the main window ends the run; a redo brings it back.
  if (record_) {
    edited_ = History().cursor == record_;
    reset_->setEnabled(edited_);
  }
  ShowFrame(shown_);
}

void DurationPanel::SetFrameDelay(int index, uint32_t delay) {
  if (index < 0 || index >= static_cast<int>(table_.size())) return;
  table_[index] = static_cast<float>(delay);
  ShowFrame(shown_);
}

}  // namespace lw
