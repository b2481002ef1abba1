#include "shell/ui/preference_questions.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids_ui.h"
#include "base/strings.h"
#include "shell/ui/preferences_sheet.h"

namespace lw {
namespace {

QString T(int textId) { return QString::fromStdString(ResText(textId)); }

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(T(sid::ButtonOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(T(sid::ButtonCancel), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

OversizeInsertDialog::OversizeInsertDialog(uint32_t stored, QWidget* parent) : QDialog(parent) {
  setWindowTitle(T(sid::AskConflitDimensionsCadre));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* choices = new QVBoxLayout;
  auto* text = new QLabel(T(sid::AskCadreInsereEstPlus), this);
  choices->addWidget(text);
  crop_ = new QRadioButton(T(sid::PrefRognerCadreInsereAux), this);
  crop_->setObjectName(QStringLiteral("c1111"));
  auto* enlarge = new QRadioButton(
      T(sid::PrefChangerLesDimensionsActuelles), this);
  enlarge->setObjectName(QStringLiteral("c1112"));
  (stored & OversizeCrop ? crop_ : enlarge)->setChecked(true);
  choices->addWidget(crop_);
  choices->addWidget(enlarge);
  top->addLayout(choices, 1);
  layout->addLayout(top);
  dontAsk_ = new QCheckBox(T(sid::AskConsiderezQueCetteValeur), this);
  dontAsk_->setObjectName(QStringLiteral("c1083"));
  layout->addWidget(dontAsk_);
  layout->addWidget(OkCancel(this));
}

uint32_t OversizeInsertDialog::Word() const {
  return EncodeOversizeInsert(crop_->isChecked(), !dontAsk_->isChecked());
}

PaletteMergeDialog::PaletteMergeDialog(uint32_t stored, QWidget* parent) : QDialog(parent) {
  setWindowTitle(T(sid::AskFusionPalettesCouleursPalette));
  auto* layout = new QVBoxLayout(this);
  controls_ = new PaletteMergeControls(true, this);
  controls_->Load(stored);
  layout->addWidget(controls_);
  layout->addWidget(OkCancel(this));
}

uint32_t PaletteMergeDialog::Word() const { return controls_->Word(); }

uint32_t AskOversizeInsertDialog(QWidget* owner, uint32_t stored) {
  OversizeInsertDialog dialog(stored, owner);
  if (dialog.exec() != QDialog::Accepted) return 0;
  SetPref(PrefOversizeInsert, dialog.Word());
  return dialog.Word();
}

uint32_t AskPaletteMergeDialog(QWidget* owner, uint32_t stored) {
  PaletteMergeDialog dialog(stored, owner);
  if (dialog.exec() != QDialog::Accepted) return 0;
  SetPref(PrefPaletteMerge, dialog.Word());
  return dialog.Word();
}

// ---------------------------------------------------------------------------------------------

UsageQuestionDialog::UsageQuestionDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(T(sid::AskLoopwright));
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
  auto* title = new QLabel(T(sid::AskBienvenueDansLogicielLoopwright), this);
  title->setObjectName(QStringLiteral("c1237"));
  QFont bold(QStringLiteral("Arial"));
  bold.setBold(true);
  bold.setPointSizeF(font().pointSizeF() * 4 / 3);
  title->setFont(bold);
  top->addWidget(title, 1);
  auto* animation = new QLabel(this);
  animation->setObjectName(QStringLiteral("c1179"));
  std::string dir;
  if (GetProgramDir(&dir)) {
    QString sample = QString::fromStdString(dir) + QStringLiteral("/exemples/roue.gif");
    if (QFile::exists(sample)) {
      auto* movie = new QMovie(sample, QByteArray(), animation);
      animation->setMovie(movie);
      movie->start();
    }
  }
  top->addWidget(animation);
  layout->addLayout(top);
  layout->addSpacing(6);
  layout->addWidget(new QLabel(T(sid::PrefVousUtiliserezPrincipalementLogiciel), this));
  choices_ = new QButtonGroup(this);
  initial_ = CurrentUsagePreset();
  const struct {
    UsagePreset preset;
    int text;
  } choices[] = {
      {UsagePreset::Gif, sid::AskCreationFichiersGifAnimations},
      {UsagePreset::Icons, sid::PrefCreationIconesWindows},
      {UsagePreset::Other, sid::AskAutreGereraiPersonnellementLes},
  };
  for (const auto& c : choices) {
    auto* r = new QRadioButton(T(c.text), this);
    r->setObjectName(QStringLiteral("c%1").arg(static_cast<int>(c.preset)));
    choices_->addButton(r, static_cast<int>(c.preset));
    r->setChecked(c.preset == initial_);
    layout->addWidget(r);
  }
  layout->addSpacing(6);
  auto* note = new QLabel(T(sid::AskParametrePeutEtreModifie),
                          this);
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(T(sid::ButtonOk), QDialogButtonBox::AcceptRole)->setDefault(true);
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
