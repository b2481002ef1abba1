// "Intervalles des cadres": retimes the frames while the preview plays them. The delays before
// and after the frame shown, or one operation on every delay; the first change records one undo
// entry, and the reset goes back through it.
#pragma once

#include <QGroupBox>
#include <cstdint>
#include <vector>

#include "core/animation.h"
#include "edit/durations.h"

class QLineEdit;
class QToolButton;
class QMenu;

namespace lw {

struct UndoRecord;

class DurationPanel : public QGroupBox {
  Q_OBJECT

 public:
  DurationPanel(Animation* document, QWidget* parent = nullptr);

  // Loads the table from the frames, operation set; the value field gets the common delay when
  // every frame has the same one.
  void Load();
  // Fills the fields for frame k (1-based).
  void ShowFrame(int k);
  // The frames' delays changed elsewhere (undo, redo): the table follows them.
  void ReloadDelays();
  // The properties bar changed one frame's delay (index from 0).
  void SetFrameDelay(int index, uint32_t delay);

  // Applies the chosen operation with the value field to every frame.
  bool ApplyOperation();
  // Returns to the delays before the editing began: the run's undo entry is undone and dropped.
  void Reset();

  void SetOperation(DurationOperation operation);
  DurationOperation Operation() const { return operation_; }
  bool Edited() const { return edited_; }
  const DelayTable& Table() const { return table_; }

  QLineEdit* FrameField() const { return frameField_; }
  QLineEdit* BeforeField() const { return before_; }
  QLineEdit* AfterField() const { return after_; }
  QLineEdit* ValueField() const { return value_; }
  QToolButton* ApplyButton() const { return apply_; }
  QToolButton* ResetButton() const { return reset_; }
  QToolButton* OperationButton() const { return operationButton_; }

 signals:
  void previousFrameRequested();
  void nextFrameRequested();
  // Delays were written to the frames: the main window refreshes its delay displays.
  void delaysWritten();

 private:
  void WriteFrames(int index);  // -1: every frame
  void EditedField(bool before, const QString& text);
  void UpdateApplyButton();

  Animation* document_;
  DelayTable table_;
  std::vector<uint32_t> original_;  // the delays before the editing began
  UndoRecord* record_ = nullptr;    // the entry of this editing run, when one was made
  DurationOperation operation_ = DurationOperation::Set;
  int shown_ = 0;
  bool edited_ = false;
  bool guard_ = false;

  QLineEdit* frameField_;
  QLineEdit* before_;
  QLineEdit* after_;
  QLineEdit* value_;
  QToolButton* previous_;
  QToolButton* next_;
  QToolButton* operationButton_;
  QToolButton* apply_;
  QToolButton* reset_;
  QMenu* operationMenu_;
};

}  // namespace lw
