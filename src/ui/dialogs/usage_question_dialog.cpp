#include "ui/dialogs/usage_question_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "platform/files.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

UsageQuestionDialog::UsageQuestionDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(UiText(str::AskLoopwright));
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  // White page, black text, as a welcome screen.
  QPalette white = palette();
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
    white.setColor(role, Qt::white);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    white.setColor(role, Qt::black);
  setPalette(white);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 14, 18, 12);
  auto* top = new QHBoxLayout;
  auto* title = new QLabel(UiText(str::AskBienvenueDansLogicielLoopwright), this);
  title->setObjectName(QStringLiteral("c1237"));
  QFont bold(QStringLiteral("Arial"));
  bold.setBold(true);
  bold.setPointSizeF(font().pointSizeF() * 4 / 3);
  title->setFont(bold);
  top->addWidget(title, 1);
  auto* animation = new QLabel(this);
  animation->setObjectName(QStringLiteral("c1179"));
  std::string sample = ShareFile("exemples/roue.gif");
  if (!sample.empty()) {
    auto* movie = new QMovie(QString::fromStdString(sample), QByteArray(), animation);
    animation->setMovie(movie);
    movie->start();
  }
  top->addWidget(animation);
  layout->addLayout(top);
  layout->addSpacing(6);
  layout->addWidget(new QLabel(UiText(str::PrefVousUtiliserezPrincipalementLogiciel), this));
  choices_ = new QButtonGroup(this);
  initial_ = CurrentUsagePreset();
  const struct {
    UsagePreset preset;
    int text;
  } choices[] = {
      {UsagePreset::Gif, str::AskCreationFichiersGifAnimations},
      {UsagePreset::Icons, str::PrefCreationIconesWindows},
      {UsagePreset::Other, str::AskAutreGereraiPersonnellementLes},
  };
  for (const auto& c : choices) {
    auto* r = new QRadioButton(UiText(c.text), this);
    r->setObjectName(QStringLiteral("c%1").arg(static_cast<int>(c.preset)));
    choices_->addButton(r, static_cast<int>(c.preset));
    r->setChecked(c.preset == initial_);
    layout->addWidget(r);
  }
  layout->addSpacing(6);
  auto* note = new QLabel(UiText(str::AskParametrePeutEtreModifie), this);
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiText(str::ButtonOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &UsageQuestionDialog::accept);
  layout->addWidget(buttons);
}

UsagePreset UsageQuestionDialog::Selected() const {
  return static_cast<UsagePreset>(choices_->checkedId());
}

void UsageQuestionDialog::accept() {
  ApplyUsagePreset(Selected(), initial_);
  QDialog::accept();
}

void ShowUsageQuestion(QWidget* owner) {
  UsageQuestionDialog dialog(owner);
  dialog.exec();
}

}  // namespace lw
