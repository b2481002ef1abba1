#include "ui/window/properties_bar.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "core/animation.h"
#include "shell/command_ids.h"
#include "shell/status_text.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

// The etched vertical line between the frame's controls and the animation's.
class VerticalEdge : public QFrame {
 public:
  explicit VerticalEdge(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::VLine);
    setFrameShadow(QFrame::Sunken);
    setFixedWidth(20);
  }
};

class Guard {
 public:
  explicit Guard(int& counter) : counter_(counter) { ++counter_; }
  ~Guard() { --counter_; }

 private:
  int& counter_;
};

QLineEdit* DigitsEdit(QWidget* parent, int width, int command) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  edit->setFixedWidth(width);
  edit->setMaxLength(9);
  edit->setToolTip(UiText(command));
  edit->setObjectName(QString::number(command));
  return edit;
}

// Undo and Redo as the window binds them (Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y) or as the desktop does.
bool IsHistoryKey(const QKeyEvent* key) {
  if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) return true;
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  return (key->key() == Qt::Key_Z &&
          (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))) ||
         (key->key() == Qt::Key_Y && mods == Qt::ControlModifier);
}

}  // namespace

PropertiesBar::PropertiesBar(QWidget* parent) : QToolBar(parent) {
  setObjectName("properties");
  setWindowTitle(UiText(str::ToolbarProperties));
  setMovable(false);
  setFloatable(false);
  setIconSize(QSize(16, 16));

  addWidget(Spacer(6));
  AddButton(cmd::FrameProperties, false);

  frameList_ = new QComboBox(this);
  frameList_->setFixedWidth(150);
  frameList_->setToolTip(UiText(cmd::FrameList));
  frameList_->setObjectName(QString::number(cmd::FrameList));
  frameListAction_ = addWidget(frameList_);
  connect(frameList_, &QComboBox::currentIndexChanged, this, [this](int entry) {
    if (!Updating()) emit frameChosen(entry);
  });

  addWidget(Spacer(6));
  auto* delayPicture = new QLabel(this);
  delayPicture->setPixmap(DelayLabelPixmap());
  delayPicture->setFixedWidth(15);
  delayLabel_ = addWidget(delayPicture);
  delayEdit_ = DigitsEdit(this, 45, cmd::DelayEdit);
  delayAction_ = addWidget(delayEdit_);
  connect(delayEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!Updating()) emit delayEdited(text);
  });

  addWidget(Spacer(6));
  auto* disposal = new QActionGroup(this);
  disposal->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int command :
       {cmd::DisposalLeave, cmd::DisposalRestoreBackground, cmd::DisposalRestorePrevious})
    disposal->addAction(AddButton(command, true));
  addSeparator();
  AddButton(cmd::ToggleTransparency, true);
  AddButton(cmd::ChooseTransparentColour, false);
  addSeparator();
  AddButton(cmd::LocalPalettePresent, true);
  AddButton(cmd::EditLocalPalette, false);
  addSeparator();
  AddButton(cmd::Has24BitData, true);
  addWidget(new VerticalEdge(this));
  AddButton(cmd::AnimationProperties, false);

  addWidget(Spacer(6));
  auto* loopPicture = new QLabel(this);
  loopPicture->setPixmap(LoopLabelPixmap());
  loopPicture->setFixedWidth(15);
  loopLabel_ = addWidget(loopPicture);
  loopEdit_ = DigitsEdit(this, 45, cmd::LoopCountEdit);
  loopAction_ = addWidget(loopEdit_);
  connect(loopEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!Updating()) emit loopEdited(text);
  });
  addWidget(Spacer(6));
  AddButton(cmd::EditGlobalPalette, false);

  // A field's own undo would come back as a typed value, that is as one more step.
  delayEdit_->installEventFilter(this);
  loopEdit_->installEventFilter(this);

  RefreshAnimationControls(nullptr);
  RefreshFrameControls(nullptr, -1, false);
}

bool PropertiesBar::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) &&
      (watched == delayEdit_ || watched == loopEdit_) &&
      IsHistoryKey(static_cast<QKeyEvent*>(event))) {
    // Left unaccepted, the override lets the window's shortcut run; a key press that still
    // arrives (nothing to undo) is swallowed.
    event->setAccepted(type == QEvent::KeyPress);
    return true;
  }
  return QToolBar::eventFilter(watched, event);
}

QWidget* PropertiesBar::Spacer(int width) {
  auto* spacer = new QWidget(this);
  spacer->setFixedWidth(width);
  return spacer;
}

QAction* PropertiesBar::AddButton(int command, bool checkable) {
  QAction* action = addAction(CommandIcon(command), UiText(command));
  action->setCheckable(checkable);
  action->setData(command);
  action->setObjectName(QString::number(command));
  connect(action, &QAction::triggered, this, [this, command] {
    if (!Updating()) emit commandTriggered(command);
  });
  actions_[command] = action;
  return action;
}

QAction* PropertiesBar::Action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void PropertiesBar::EnableFrameEditing(bool on) {
  delayEdit_->setEnabled(on);
  frameList_->setEnabled(on);
  delayLabel_->setEnabled(on);
}

void PropertiesBar::SetMultipleEntry(bool on) {
  if (on == multipleEntry_) return;
  if (on) {
    frameList_->addItem(QString::fromUtf8(FrameListMultiple));
  } else {
    frameList_->removeItem(frameList_->count() - 1);
  }
  multipleEntry_ = on;
}

void PropertiesBar::RefreshFrameControls(const Animation* animation, int index,
                                         bool durationsEdited) {
  Guard guard(updating_);
  const Frame* frame = animation ? FrameAt(*animation, index) : nullptr;
  uint32_t selected = animation ? animation->selectedCount : 0;
  bool one = frame && selected < 2;
  // The buttons' enabled states are the window's (UpdateCommandStates); only the edits are here.
  EnableFrameEditing(frame && !durationsEdited);

  bool multiple = animation && selected > 1;
  SetMultipleEntry(multiple);
  if (multiple) {
    frameList_->setCurrentIndex(frameList_->count() - 1);
  } else {
    frameList_->setCurrentIndex(frame ? index + 1 : 0);
  }

  bool hasLocal = one && frame->localPalette != nullptr;
  if (one) {
    int disposal = frame->Disposal();
    Action(cmd::DisposalLeave)->setChecked(disposal != 2 && disposal != 3);
    Action(cmd::DisposalRestoreBackground)->setChecked(disposal == 2);
    Action(cmd::DisposalRestorePrevious)->setChecked(disposal == 3);
    Action(cmd::ToggleTransparency)->setChecked(frame->Transparent());
    Action(cmd::Has24BitData)->setChecked(!frame->rgbPlane.empty());
    Action(cmd::LocalPalettePresent)->setChecked(hasLocal);
    delayEdit_->setText(QString::number(frame->delay));
    RenameFrameEntry(animation, index);
  } else {
    for (int command :
         {cmd::DisposalLeave, cmd::DisposalRestoreBackground, cmd::DisposalRestorePrevious,
          cmd::ToggleTransparency, cmd::LocalPalettePresent, cmd::Has24BitData})
      Action(command)->setChecked(false);
    // Several frames: their common delay, or nothing when they differ.
    QString common;
    if (multiple) {
      const Frame* first = FirstSelectedFrame(*animation);
      bool same = true;
      for (const Frame* f = first; f; f = NextSelectedFrame(f))
        same = same && f->delay == first->delay;
      if (same && first) common = QString::number(first->delay);
    }
    delayEdit_->setText(common);
  }
}

void PropertiesBar::RefreshAnimationControls(const Animation* animation) {
  Guard guard(updating_);
  bool present = animation != nullptr;
  frameList_->setEnabled(present);
  loopEdit_->setEnabled(present);
  loopLabel_->setEnabled(present);
  loopEdit_->setText(present ? QString::number(animation->playCount) : QString());
  RebuildFrameList(animation);
}

void PropertiesBar::RebuildFrameList(const Animation* animation) {
  Guard guard(updating_);
  int keep = frameList_->currentIndex();
  frameList_->clear();
  multipleEntry_ = false;
  frameList_->addItem(QString::fromUtf8(FrameListNone));
  if (animation) {
    int i = 0;
    for (const Frame* f = FirstFrame(*animation); f; f = NextFrame(f), ++i)
      frameList_->addItem(QString::fromStdString(FrameListEntry(i, FrameName(f))));
  }
  // The drop-down as wide as its widest entry.
  QFontMetrics metrics(frameList_->font());
  int widest = 0;
  for (int i = 0; i < frameList_->count(); ++i)
    widest = std::max(widest, metrics.horizontalAdvance(frameList_->itemText(i)));
  frameList_->view()->setMinimumWidth(
      widest + frameList_->view()->verticalScrollBar()->sizeHint().width() + 8);
  if (keep >= 0 && keep < frameList_->count()) frameList_->setCurrentIndex(keep);
}

void PropertiesBar::RenameFrameEntry(const Animation* animation, int index) {
  const Frame* frame = animation ? FrameAt(*animation, index) : nullptr;
  if (!frame || index + 1 >= frameList_->count()) return;
  Guard guard(updating_);
  frameList_->setItemText(index + 1,
                          QString::fromStdString(FrameListEntry(index, FrameName(frame))));
}

}  // namespace lw
