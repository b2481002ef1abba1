#include "ui/common/palette_merge_controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "colour/quantize_hq.h"
#include "shell/usage_presets.h"
#include "ui/common/dialog_buttons.h"

namespace lw {
namespace {

QComboBox* ColourCountList(QWidget* parent, int id) {
  auto* c = new QComboBox(parent);
  c->setObjectName(ControlName(id));
  for (const char* t : {"256", "128", "64", "32", "16", "8"}) c->addItem(QString::fromLatin1(t));
  return c;
}

}  // namespace

PaletteMergeControls::PaletteMergeControls(bool asking, QWidget* parent)
    : QWidget(parent), asking_(asking) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* group = new QGroupBox(UiText(str::PrefLorsqueNouveauxCadresSont), this);
  auto* radios = new QVBoxLayout(group);
  methods_ = new QButtonGroup(this);
  const struct {
    int id;
    uint32_t bit;
    int text;
  } methods[] = {
      {1197, 0x001, str::PrefUtiliserPaletteGlobaleAuto},
      {1198, 0x002, str::PrefFusionnerNouveauCadreAvec},
      {1199, 0x004, str::PrefMettreCorrespondanceNouveauCadre},
      {1200, 0x008, str::PrefMettreCorrespondanceTousLes},
      {1202, 0x010, str::PrefUtiliserPaletteLocalePour},
  };
  for (const auto& m : methods) {
    QRadioButton* r = NamedRadio(group, m.id, m.text);
    methods_->addButton(r, static_cast<int>(m.bit));
    radios->addWidget(r);
  }
  auto* highQuality = new QRadioButton(UiText(str::HighQualityMethod), group);
  highQuality->setObjectName(QStringLiteral("highQuality"));
  methods_->addButton(highQuality, 0x800);
  radios->addWidget(highQuality);
  layout->addWidget(group);
  dither_ = NamedBox(this, 1204, str::PrefJuxtaposerLesCouleursDurant);
  layout->addWidget(dither_);
  auto* lists = new QFormLayout;
  maxColours_ = ColourCountList(this, 1289);
  trueColours_ = ColourCountList(this, 1203);
  auto* maxLabel = new QLabel(UiText(str::PrefNombreMaximumCouleurs), this);
  lists->addRow(maxLabel, maxColours_);
  auto* trueLabel = WrappedNote(this, str::PrefNombreMaximalCouleursUtiliser);
  lists->addRow(trueLabel, trueColours_);
  quality_ = new QSpinBox(this);
  quality_->setObjectName(QStringLiteral("quality"));
  quality_->setRange(MinQuality, MaxQuality);
  quality_->setValue(DefaultQuality);
  quality_->setToolTip(UiText(str::QualityTip));
  lists->addRow(new QLabel(UiText(str::QualityLabel), this), quality_);
  layout->addLayout(lists);
  connect(methods_, &QButtonGroup::idToggled, this, [this] { MethodChosen(); });
  ask_ = asking ? NamedBox(this, 1205, str::PrefConsiderezQueCetteValeur)
                : NamedBox(this, 1206, str::PrefToujoursDemanderLesPreferences);
  layout->addWidget(ask_);
}

void PaletteMergeControls::Load(uint32_t word) {
  PaletteMergeChoice c = DecodePaletteMerge(word);
  storedMethod_ = c.method;
  if (QAbstractButton* b = methods_->button(static_cast<int>(c.method))) {
    b->setChecked(true);
  } else {
    // The fixed palette has no choice here: nothing shows selected and the word keeps it.
    methods_->setExclusive(false);
    for (QAbstractButton* r : methods_->buttons()) r->setChecked(false);
    methods_->setExclusive(true);
  }
  dither_->setChecked(c.dither);
  ask_->setChecked(asking_ ? false : c.ask);
  maxColours_->setCurrentIndex(c.maxColoursSelection);
  trueColours_->setCurrentIndex(c.trueColourSelection);
  storedQuality_ = c.quality;
  quality_->setValue(c.quality > 0 ? c.quality : DefaultQuality);
  MethodChosen();
}

// The high-quality method chooses its colours by its level; the two counts serve the others.
void PaletteMergeControls::MethodChosen() {
  const bool highQuality = methods_->checkedId() == 0x800;
  quality_->setEnabled(highQuality);
  maxColours_->setEnabled(!highQuality);
  trueColours_->setEnabled(!highQuality);
}

uint32_t PaletteMergeControls::Word() const {
  PaletteMergeChoice c;
  int checked = methods_->checkedId();
  c.method = checked > 0 ? static_cast<uint32_t>(checked) : storedMethod_;
  c.dither = dither_->isChecked();
  c.ask = asking_ ? !ask_->isChecked() : ask_->isChecked();
  c.maxColoursSelection = maxColours_->currentIndex();
  c.trueColourSelection = trueColours_->currentIndex();
  c.quality = methods_->checkedId() == 0x800 ? quality_->value() : storedQuality_;
  return EncodePaletteMerge(c);
}

}  // namespace lw
