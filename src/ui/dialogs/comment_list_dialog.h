// "Editer le commentaire GIF": the animation's comment blocks, added, edited and deleted in
// place, each change with its undo step.
#pragma once

#include <QDialog>

#include "core/animation.h"

class QListWidget;
class QPushButton;

namespace lw {

// True when a comment was added, edited or deleted.
bool AskGifComments(QWidget* owner, Animation* animation);

class CommentListDialog : public QDialog {
  Q_OBJECT

 public:
  CommentListDialog(QWidget* owner, Animation* animation);
  bool Changed() const { return changed_; }

  // The comment editor: returns false on Annuler. Replaceable so that tests need no modal
  // dialog.
  using Editor = bool (*)(QWidget* parent, QString* text);
  static void SetEditor(Editor editor);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Fill(int select);
  void Add();
  void Edit();
  void Delete();
  void UpdateButtons();

  Animation* animation_;
  QListWidget* list_;
  QPushButton* edit_;
  QPushButton* delete_;
  bool changed_ = false;
};

// "Editer commentaires": true when OK stored an edited text (at most 254 characters).
bool EditCommentText(QWidget* parent, QString* text);

}  // namespace lw
