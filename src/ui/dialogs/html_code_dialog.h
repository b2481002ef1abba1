// "Code HTML": the tag that embeds the saved animation in a page, rebuilt at every change of its
// fields, shown as code and as the page would show it, and copied to the clipboard.
#pragma once

#include <QDialog>
#include <string>

#include "core/animation.h"
#include "formats/html_code.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace lw {

struct HtmlCodeRequest {
  const Animation* document = nullptr;
  std::string documentPath;  // empty when untitled
  bool copied = false;       // out: the code went to the clipboard at least once
};

// Opens the dialog until "Fermer"; true when the code was copied.
bool AskHtmlCode(QWidget* owner, HtmlCodeRequest* request);

class HtmlCodeDialog : public QDialog {
  Q_OBJECT

 public:
  HtmlCodeDialog(QWidget* owner, const Animation& document, const std::string& documentPath);

  HtmlCodeFields Fields() const;
  QString Code() const;
  // "Copier le code": false (message shown, focus on the name) without a file name.
  bool CopyCode();
  bool Copied() const { return copied_; }

 private:
  void Rebuild();
  void RedrawPreview();

  const Animation& document_;
  QLineEdit* fileName_;
  QLineEdit* link_;
  QLineEdit* description_;
  QSpinBox* border_;
  QPlainTextEdit* code_;
  QLabel* preview_;
  QImage picture_;
  bool copied_ = false;
};

}  // namespace lw
