#include "ui/window/preferences_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "platform/desktop_entries.h"
#include "ui/common/colour_button.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/palette_merge_controls.h"
#include "ui/dialogs/co_editor_chooser.h"

namespace lw {
namespace {

ProgramChooser coEditorChooser = nullptr;

QString Id(int id) { return ControlName(id); }
QCheckBox* Box(QWidget* parent, int id, int textId) { return NamedBox(parent, id, textId); }
QRadioButton* Radio(QWidget* parent, int id, int textId) { return NamedRadio(parent, id, textId); }
QLabel* Note(QWidget* parent, int textId) { return WrappedNote(parent, textId); }

template <typename T>
T* Find(const QWidget* page, int id) {
  return page->findChild<T*>(Id(id));
}

// A page's box that stops the sheet: the text and caption, the focus on the field.
void RefuseField(QWidget* field, int textId, int captionId) {
  QMessageBox box(QMessageBox::Warning, UiText(captionId), UiText(textId), QMessageBox::NoButton,
                  field->window());
  box.addButton(UiText(str::ButtonOk), QMessageBox::AcceptRole);
  box.exec();
  field->setFocus();
  if (auto* spin = qobject_cast<QSpinBox*>(field)) spin->selectAll();
}

// The arrows stay within 0..32767, as on the system's up-down controls; typing may go beyond,
// and the page's check says what is allowed.
class NumberSpin : public QSpinBox {
 public:
  explicit NumberSpin(QWidget* parent) : QSpinBox(parent) {
    setRange(0, 9999999);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  }
  void stepBy(int steps) override { setValue(std::clamp(value() + steps, 0, 32767)); }
};

}  // namespace

void SetCoEditorChooser(ProgramChooser chooser) { coEditorChooser = chooser; }

// ---------------------------------------------------------------------------------------------

UsagePage::UsagePage(QWidget* parent) : PreferencePage(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Note(this, str::PrefVousUtiliserezPrincipalementLogiciel));
  choices_ = new QButtonGroup(this);
  const struct {
    UsagePreset preset;
    int text;
  } choices[] = {
      {UsagePreset::Gif, str::PrefCreationEditionAffichageFichiers},
      {UsagePreset::Icons, str::PrefCreationIconesWindows},
      {UsagePreset::Other, str::PrefAutreParametresPaletteCouleur},
  };
  initial_ = CurrentUsagePreset();
  for (const auto& c : choices) {
    QRadioButton* r = Radio(this, static_cast<int>(c.preset), c.text);
    choices_->addButton(r, static_cast<int>(c.preset));
    r->setChecked(c.preset == initial_);
    layout->addWidget(r);
  }
  layout->addStretch(1);
}

void UsagePage::Apply(PreferencesOutcome*) {
  ApplyUsagePreset(static_cast<UsagePreset>(choices_->checkedId()), initial_);
}

// ---------------------------------------------------------------------------------------------

ProgramPage::ProgramPage(QWidget* parent) : PreferencePage(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* preview = new QGroupBox(UiText(str::PrefApercu), this);
  auto* pv = new QVBoxLayout(preview);
  QCheckBox* ignore = Box(preview, 1204, str::PrefIgnorerNombreIterationsDans);
  ignore->setChecked(PrefOn(Pref::PreviewIgnoresLoopCount));
  QCheckBox* full = Box(preview, 1205, str::PrefApercuPleinEcranEchap);
  full->setChecked(PrefOn(Pref::FullScreenPreview));
  QCheckBox* automatic = Box(preview, 1236, str::PrefMontrerAutomatiquementApercuApres);
  automatic->setChecked(!PrefOn(Pref::NoAutoPreview));
  for (QWidget* w : {ignore, full, automatic}) pv->addWidget(w);
  layout->addWidget(preview);

  QCheckBox* interlace = Box(this, 1084, str::PrefPermettreEntrelacementInterieurAnimation);
  interlace->setChecked(PrefOn(Pref::AllowInterlace));
  QCheckBox* insert = Box(this, 1296, str::PrefAfficherBoiteInsererCadre);
  insert->setChecked(PrefOn(Pref::HideIntroPanel));
  wasAssociated_ = IsGifAssociated();
  QCheckBox* associate = Box(this, 1092, str::PrefAjouterEditerAvecLoopwright);
  associate->setChecked(wasAssociated_);
  for (QWidget* w : {interlace, insert, associate}) layout->addWidget(w);

  auto* form = new QFormLayout;
  auto* undoLevels = new QLineEdit(QString::number(GetPref(PrefUndoLevels)), this);
  undoLevels->setObjectName(Id(1069));
  undoLevels->setMaxLength(10);
  undoLevels->setFixedWidth(70);
  form->addRow(UiText(str::PrefNiveauxAnnulation), undoLevels);
  auto* editorRow = new QHBoxLayout;
  GetCoEditor(&editor_);
  auto* editorName = new QLineEdit(QString::fromStdString(CoEditorDisplayName(editor_)), this);
  editorName->setObjectName(Id(1071));
  editorName->setReadOnly(true);
  auto* choose = new QPushButton(UiText(str::PrefSelectionner), this);
  choose->setObjectName(Id(1292));
  editorRow->addWidget(editorName, 1);
  editorRow->addWidget(choose);
  form->addRow(UiText(str::PrefEditeurImagesCoedition), editorRow);
  layout->addLayout(form);
  layout->addStretch(1);
  connect(choose, &QPushButton::clicked, this, &ProgramPage::ChooseEditor);
}

void ProgramPage::ChooseEditor() {
  QString start;
  if (!editor_.empty()) start = QFileInfo(QString::fromStdString(editor_)).absolutePath();
  std::string initDir;
  if (start.isEmpty() && GetInitDir(&initDir)) start = QString::fromStdString(initDir);
  QString chosen = (coEditorChooser ? coEditorChooser : ChooseCoEditor)(this, start);
  if (chosen.isEmpty() || !QFileInfo(chosen).isFile()) return;
  editor_ = chosen.toStdString();
  editorChosen_ = true;
  Find<QLineEdit>(this, 1071)->setText(QString::fromStdString(CoEditorDisplayName(editor_)));
}

void ProgramPage::Apply(PreferencesOutcome* outcome) {
  SetPrefOn(Pref::PreviewIgnoresLoopCount, Find<QCheckBox>(this, 1204)->isChecked());
  SetPrefOn(Pref::FullScreenPreview, Find<QCheckBox>(this, 1205)->isChecked());
  SetPrefOn(Pref::NoAutoPreview, !Find<QCheckBox>(this, 1236)->isChecked());
  SetPrefOn(Pref::HideIntroPanel, Find<QCheckBox>(this, 1296)->isChecked());
  bool interlace = Find<QCheckBox>(this, 1084)->isChecked();
  if (interlace != PrefOn(Pref::AllowInterlace)) outcome->interlaceChanged = true;
  SetPrefOn(Pref::AllowInterlace, interlace);
  bool associate = Find<QCheckBox>(this, 1092)->isChecked();
  if (!associate && wasAssociated_) {
    UnassociateGif();
  } else if (associate && !wasAssociated_ && !AssociateGif()) {
    ShowErrorId(str::PrefErreurReglageAssociationFichier);
  }
  bool ok = false;
  uint32_t levels = Find<QLineEdit>(this, 1069)->text().trimmed().toUInt(&ok);
  SetPref(PrefUndoLevels, ok ? levels : 0);
  if (editorChosen_) SetCoEditor(editor_);
}

// ---------------------------------------------------------------------------------------------

PalettesPage::PalettesPage(QWidget* parent) : PreferencePage(parent) {
  auto* layout = new QVBoxLayout(this);
  controls_ = new PaletteMergeControls(false, this);
  controls_->Load(GetPref(PrefPaletteMerge));
  layout->addWidget(controls_);
  layout->addStretch(1);
}

void PalettesPage::Apply(PreferencesOutcome*) { SetPref(PrefPaletteMerge, controls_->Word()); }

// ---------------------------------------------------------------------------------------------

AnimationPage::AnimationPage(QWidget* parent) : PreferencePage(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* defaults = new QGroupBox(UiText(str::PrefValeursDesNouveauxCadres), this);
  auto* form = new QFormLayout(defaults);
  auto* delay = new NumberSpin(defaults);
  delay->setObjectName(Id(1101));
  delay->setValue(static_cast<int>(std::min<uint32_t>(GetPref(PrefDefaultDelay), 9999999)));
  delay->setSuffix(QString());
  auto* delayRow = new QHBoxLayout;
  delayRow->addWidget(delay);
  delayRow->addWidget(new QLabel(UiText(str::PrefSeconde), defaults));
  delayRow->addStretch(1);
  form->addRow(UiText(str::PrefIntervalle), delayRow);
  auto* loops = new NumberSpin(defaults);
  loops->setObjectName(Id(1102));
  loops->setValue(static_cast<int>(std::min<uint32_t>(GetPref(PrefDefaultLoopCount), 9999999)));
  auto* loopRow = new QHBoxLayout;
  loopRow->addWidget(loops);
  loopRow->addWidget(new QLabel(UiText(str::PrefContinue), defaults));
  loopRow->addStretch(1);
  form->addRow(UiText(str::PrefNombreIterations), loopRow);
  layout->addWidget(defaults);

  auto* oversize = new QGroupBox(UiText(str::PrefCadreInserePlusGrand), this);
  auto* ov = new QVBoxLayout(oversize);
  uint32_t word = GetPref(PrefOversizeInsert);
  QRadioButton* crop = Radio(oversize, 1111, str::PrefRognerCadreInsereAux);
  QRadioButton* enlarge = Radio(oversize, 1112, str::PrefChangerLesDimensionsActuelles);
  (word & OversizeCrop ? crop : enlarge)->setChecked(true);
  QCheckBox* ask = Box(oversize, 1121, str::PrefToujoursDemander);
  ask->setChecked(BitIn(word, Pref::OversizeInsertAsk));
  for (QWidget* w :
       {static_cast<QWidget*>(crop), static_cast<QWidget*>(enlarge), static_cast<QWidget*>(ask)})
    ov->addWidget(w);
  layout->addWidget(oversize);
  layout->addStretch(1);
}

bool AnimationPage::Validate() {
  auto* delay = Find<QSpinBox>(this, 1101);
  if (delay->value() > 65535) {
    RefuseField(delay, str::PrefIntervalleDoitEtreCompris, str::PrefValeurIntervalleInvalide);
    return false;
  }
  auto* loops = Find<QSpinBox>(this, 1102);
  if (loops->value() > 65536) {
    RefuseField(loops, str::PrefNombreIterationsDoitEtre, str::PrefValeurIterationErronee);
    return false;
  }
  return true;
}

void AnimationPage::Apply(PreferencesOutcome*) {
  SetPref(PrefDefaultDelay, static_cast<uint32_t>(Find<QSpinBox>(this, 1101)->value()));
  SetPref(PrefDefaultLoopCount, static_cast<uint32_t>(Find<QSpinBox>(this, 1102)->value()));
  SetPref(PrefOversizeInsert, EncodeOversizeInsert(Find<QRadioButton>(this, 1111)->isChecked(),
                                                   Find<QCheckBox>(this, 1121)->isChecked()));
}

// ---------------------------------------------------------------------------------------------

ExportPage::ExportPage(QWidget* parent) : PreferencePage(parent) {
  auto* layout = new QVBoxLayout(this);
  QCheckBox* trueColour = Box(this, 1257, str::PrefConserverLesCouleursBits);
  trueColour->setChecked(PrefOn(Pref::KeepTrueColor));
  QCheckBox* masks = Box(this, 1083, str::PrefExporterTransparenceDansLes);
  masks->setChecked(PrefOn(Pref::ExportLayerMasks));
  layout->addWidget(trueColour);
  layout->addWidget(masks);

  auto* rateRow = new QHBoxLayout;
  QCheckBox* fixedRate = Box(this, 1288, str::PrefFrequenceFixeDesImages);
  fixedRate->setChecked(PrefOn(Pref::AviFixedRate));
  auto* rate = new QLineEdit(QString::asprintf("%.2f", GetPref(PrefAviFrameRate) * 0.0001), this);
  rate->setObjectName(Id(1069));
  rate->setFixedWidth(70);
  rateRow->addWidget(fixedRate);
  rateRow->addWidget(rate);
  rateRow->addWidget(new QLabel(UiText(str::PrefImagesSeconde), this));
  rateRow->addStretch(1);
  layout->addLayout(rateRow);

  auto* colourRow = new QHBoxLayout;
  QCheckBox* loadTransparent = Box(this, 1092, str::PrefRendreTransparenteCetteCouleur);
  loadTransparent->setChecked(PrefOn(Pref::LoadTransparentColour));
  swatch_ = new ColourButton(this);
  swatch_->setObjectName(Id(1298));
  swatch_->setToolTip(QString());
  swatch_->SetColour(GetPref(PrefLoadTransparentColor));
  colourRow->addWidget(loadTransparent);
  colourRow->addWidget(swatch_);
  colourRow->addStretch(1);
  layout->addLayout(colourRow);

  auto* quality = new QGroupBox(UiText(str::PrefQualiteJpeg), this);
  auto* qv = new QHBoxLayout(quality);
  auto* slider = new QSlider(Qt::Horizontal, quality);
  slider->setObjectName(Id(1271));
  slider->setRange(1, 10);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(1);
  slider->setPageStep(1);
  uint32_t step = PrefFieldValue(PrefField::JpegStep);
  slider->setValue(step == 0 ? 6 : static_cast<int>(std::min<uint32_t>(step, 10)));
  qv->addWidget(new QLabel(UiText(str::PrefQualite), quality));
  qv->addWidget(slider, 1);
  layout->addWidget(quality);

  QCheckBox* signature = Box(this, 1084, str::PrefToujoursAjouterCommentaireMax);
  signature->setChecked(!PrefOn(Pref::NoSignatureComment));
  auto* text = new QLineEdit(QString::fromStdString(GetSignature(true)), this);
  text->setObjectName(Id(1070));
  text->setEnabled(signature->isChecked());
  hadSignature_ = signature->isChecked();
  layout->addWidget(signature);
  layout->addWidget(text);
  layout->addStretch(1);
  connect(signature, &QCheckBox::toggled, text, &QWidget::setEnabled);
  connect(text, &QLineEdit::textEdited, this, [this] { textEdited_ = true; });
}

bool ExportPage::Validate() {
  auto* text = Find<QLineEdit>(this, 1070);
  if (Find<QCheckBox>(this, 1084)->isChecked() && text->text().toUcs4().size() >= 256) {
    QMessageBox box(QMessageBox::Warning, UiText(str::PrefCommentaireTropLong),
                    UiText(str::PrefChaineCommentairesDoitContenir), QMessageBox::NoButton,
                    window());
    box.addButton(UiText(str::ButtonOk), QMessageBox::AcceptRole);
    box.exec();
    text->setFocus();
    return false;
  }
  return true;
}

void ExportPage::Apply(PreferencesOutcome* outcome) {
  SetPrefOn(Pref::KeepTrueColor, Find<QCheckBox>(this, 1257)->isChecked());
  SetPrefOn(Pref::ExportLayerMasks, Find<QCheckBox>(this, 1083)->isChecked());
  bool fixedRate = Find<QCheckBox>(this, 1288)->isChecked();
  SetPrefOn(Pref::AviFixedRate, fixedRate);
  if (fixedRate) {
    QString t =
        Find<QLineEdit>(this, 1069)->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    double rate = t.toDouble() * 10000;
    if (!(rate > 0)) rate = 0;  // also a text that is no number
    SetPref(PrefAviFrameRate, rate >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(rate));
  }
  SetPrefOn(Pref::LoadTransparentColour, Find<QCheckBox>(this, 1092)->isChecked());
  SetPref(PrefLoadTransparentColor, swatch_->Colour());
  uint32_t step = static_cast<uint32_t>(Find<QSlider>(this, 1271)->value());
  // A stored 0 already means 6: an untouched slider leaves the word as it was.
  if (!(step == 6 && PrefFieldValue(PrefField::JpegStep) == 0))
    SetPrefField(PrefField::JpegStep, step);
  bool signature = Find<QCheckBox>(this, 1084)->isChecked();
  if (textEdited_) SetSignature(Find<QLineEdit>(this, 1070)->text().toStdString());
  SetPrefOn(Pref::NoSignatureComment, !signature);
  if (textEdited_ || signature != hadSignature_) outcome->signatureChanged = true;
}

// ---------------------------------------------------------------------------------------------

FrameTipsPage::FrameTipsPage(QWidget* parent) : PreferencePage(parent) {
  uint32_t tips = GetPref(PrefFrameTips);
  auto* layout = new QVBoxLayout(this);
  QCheckBox* on = Box(this, 1083, str::PrefAfficherInformationSurLes);
  on->setChecked(BitIn(tips, Pref::FrameTipsOn));
  layout->addWidget(on);
  auto* group = new QGroupBox(UiText(str::PrefInformationAffichee), this);
  auto* gl = new QVBoxLayout(group);
  const struct {
    int id;
    Pref bit;
    int text;
  } boxes[] = {
      {1265, Pref::FrameTipNumber, str::PrefCadreNumero},
      {1267, Pref::FrameTipSize, str::PrefGrandeurDimensions},
      {1268, Pref::FrameTipOffset, str::PrefDecalage},
      {1269, Pref::FrameTipDelay, str::PrefIntervale},
      {1270, Pref::FrameTipDisposal, str::PrefDisposition},
      {1271, Pref::FrameTipTransparency, str::PrefTransparence},
      {1272, Pref::FrameTipPalette, str::PrefTypePalette},
      {1274, Pref::FrameTipBitCount, str::PrefNombreBit},
  };
  for (const auto& b : boxes) {
    QCheckBox* box = Box(group, b.id, b.text);
    box->setProperty("bit", MaskOf(b.bit));
    box->setChecked(BitIn(tips, b.bit));
    gl->addWidget(box);
  }
  Find<QCheckBox>(this, 1274)->setVisible(PrefOn(Pref::KeepTrueColor));
  group->setEnabled(on->isChecked());
  layout->addWidget(group);
  layout->addStretch(1);
  connect(on, &QCheckBox::toggled, group, &QWidget::setEnabled);
}

void FrameTipsPage::Apply(PreferencesOutcome*) {
  uint32_t word = WithBit(0, Pref::FrameTipsOn, Find<QCheckBox>(this, 1083)->isChecked());
  for (QCheckBox* box : findChildren<QCheckBox*>()) {
    QVariant bit = box->property("bit");
    if (bit.isValid() && box->isChecked()) word |= bit.toUInt();
  }
  SetPref(PrefFrameTips, word);
}

// ---------------------------------------------------------------------------------------------

PreferencesSheet::PreferencesSheet(QWidget* owner) : QDialog(owner) {
  setWindowTitle(UiText(str::PrefPreferencesGenerales));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  tabs_ = new QTabWidget(this);
  tabs_->addTab(new UsagePage(tabs_), UiText(str::PrefUtilisation));
  tabs_->addTab(new ProgramPage(tabs_), UiText(str::PrefProgramme));
  tabs_->addTab(new PalettesPage(tabs_), UiText(str::PrefPalettes));
  tabs_->addTab(new AnimationPage(tabs_), UiText(str::PrefAnimation));
  tabs_->addTab(new ExportPage(tabs_), UiText(str::PrefExport));
  tabs_->addTab(new FrameTipsPage(tabs_), UiText(str::PrefInformationSurLesCadres));
  visited_[0] = true;
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == shown_) return;
    int left = shown_;
    if (!Page(left)->Validate()) {
      QSignalBlocker block(tabs_);
      tabs_->setCurrentIndex(left);
      return;
    }
    shown_ = index;
    visited_[index] = true;
  });
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiText(str::ButtonOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(UiText(str::ButtonCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesSheet::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

PreferencePage* PreferencesSheet::Page(int index) const {
  return static_cast<PreferencePage*>(tabs_->widget(index));
}

void PreferencesSheet::accept() {
  if (!Page(shown_)->Validate()) return;
  // Like the system's sheets: only the pages that were opened write, in order.
  outcome_ = {};
  outcome_.accepted = true;
  for (int i = 0; i < tabs_->count(); ++i) {
    if (visited_[i]) Page(i)->Apply(&outcome_);
  }
  QDialog::accept();
}

PreferencesOutcome ShowPreferences(QWidget* owner) {
  PreferencesSheet sheet(owner);
  if (sheet.exec() != QDialog::Accepted) return {};
  return sheet.Outcome();
}

}  // namespace lw
