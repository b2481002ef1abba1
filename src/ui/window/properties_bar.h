// The properties toolbar under the main toolbar: the current frame's list entry, delay,
// disposal, transparency, local palette and 24-bit data, and the animation's loop count and
// global palette. Its commands go to the main window like every other command.
#pragma once

#include <QToolBar>
#include <functional>
#include <map>

class QAction;
class QComboBox;
class QLineEdit;

namespace lw {

struct Animation;

class PropertiesBar : public QToolBar {
  Q_OBJECT

 public:
  explicit PropertiesBar(QWidget* parent = nullptr);

  // The action of a toolbar command (40009, 40041..40051, 40347, 40008), none for others.
  QAction* Action(int command) const;
  QComboBox* FrameList() const { return frameList_; }
  QLineEdit* DelayEdit() const { return delayEdit_; }
  QLineEdit* LoopEdit() const { return loopEdit_; }

  // Fills the frame controls for the frame (index or -1) of the animation (or none).
  void RefreshFrameControls(const Animation* animation, int index, bool durationsEdited);
  // The animation's list and loop edit; rebuilds the list. The buttons' enabled states are set
  // by the window, from the command table.
  void RefreshAnimationControls(const Animation* animation);
  void RebuildFrameList(const Animation* animation);
  void RenameFrameEntry(const Animation* animation, int index);
  void EnableFrameEditing(bool on);
  // True while the controls are being filled: their change notifications are not the user's.
  bool Updating() const { return updating_ > 0; }

 protected:
  // The fields leave Undo and Redo to the window's history.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  void commandTriggered(int command);
  void delayEdited(const QString& text);
  void loopEdited(const QString& text);
  void frameChosen(int entry);

 private:
  QAction* AddButton(int command, bool checkable);
  QWidget* Spacer(int width);
  void SetMultipleEntry(bool on);

  std::map<int, QAction*> actions_;
  QComboBox* frameList_ = nullptr;
  QLineEdit* delayEdit_ = nullptr;
  QLineEdit* loopEdit_ = nullptr;
  QAction* delayLabel_ = nullptr;
  QAction* loopLabel_ = nullptr;
  QAction* frameListAction_ = nullptr;
  QAction* delayAction_ = nullptr;
  QAction* loopAction_ = nullptr;
  int updating_ = 0;
  bool multipleEntry_ = false;
};

}  // namespace lw
