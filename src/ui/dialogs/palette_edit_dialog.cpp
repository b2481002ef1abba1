#include "ui/dialogs/palette_edit_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "colour/pal_file.h"
#include "formats/palette_source.h"
#include "shell/options_from_preferences.h"
#include "ui/common/colour_button.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/image_view.h"
#include "ui/common/open_dialog.h"
#include "ui/common/palette_grid.h"

namespace lw {

namespace {

uint32_t ToColour(const PaletteEntry& e) { return e.red | (e.green << 8) | (e.blue << 16); }

// A palette file to load or to export to, chosen in the folder the last one came from; that
// folder is remembered. Empty when cancelled.
QString ChoosePaletteFile(QWidget* owner, bool load) {
  std::string folder;
  GetPaletteDir(&folder);
  QFileDialog chooser(
      owner, UiText(load ? str::PalLoadTitle : str::SavePaletteTitle),
      QString::fromStdString(folder),
      load ? UiText(str::FilterPaletteSources) : QStringLiteral("PAL Palette Files (*.pal)"));
  chooser.setObjectName(QStringLiteral("PaletteChooser"));
  chooser.setAcceptMode(load ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  chooser.setFileMode(load ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!load) chooser.setDefaultSuffix(QStringLiteral("pal"));
  MakeChooserFrench(&chooser);
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return {};
  QString path = chooser.selectedFiles().front();
  SetPaletteDirFromFile(path.toStdString());
  return path;
}

}  // namespace

PaletteEditDialog::PaletteEditDialog(QWidget* owner, PaletteEditRequest* request, bool small)
    : QDialog(owner), request_(request) {
  setWindowTitle(UiText(small ? str::PalEditFixedTitle : str::PalEditTitle));
  if (request->palette) working_ = request->palette->entries;
  if (working_.size() > 256) working_.resize(256);
  reference_ = working_;
  if (request->transparentIndex >= 0 && request->transparentIndex < 256)
    transparent_[request->transparentIndex] = true;

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  layout->addLayout(top);

  auto* left = new QVBoxLayout;
  top->addLayout(left);
  grid_ = new PaletteGrid(this);
  grid_->setObjectName("grid");
  grid_->SetEntries(working_);
  grid_->SetTransparent(transparent_, false, QColor());
  left->addWidget(grid_);

  if (!small) {
    int used = 0;
    if (request->usage)
      for (size_t i = 0; i < working_.size(); ++i) used += request->usage[i] != 0;
    auto* count = new QLabel(this);
    if (request->usage)
      count->setText(QString::asprintf(UiText(str::PalUsageCount).toUtf8().constData(), used,
                                       static_cast<int>(working_.size())));
    left->addWidget(count);
    usageBox_ = new QCheckBox(UiText(str::PalShowUsage), this);
    if (request->usage) {
      grid_->SetUsage(request->usage);
      usageBox_->setChecked(PrefOn(Pref::ShowColourUsage));
      grid_->SetShowUsage(usageBox_->isChecked());
    } else {
      usageBox_->setEnabled(false);
    }
    connect(usageBox_, &QCheckBox::toggled, grid_, &PaletteGrid::SetShowUsage);
    left->addWidget(usageBox_);
  }

  // The three values and the swatch, empty and greyed until an entry is chosen.
  auto* values = new QHBoxLayout;
  const int labels[3] = {str::PalRed, small ? str::PalGreenG : str::PalGreenV, str::PalBlue};
  for (int c = 0; c < 3; ++c) {
    auto* label = new QLabel(UiText(labels[c]), this);
    fields_[c] = new QSpinBox(this);
    // Three digits: a typed value above 255 is brought back to 255 in the field.
    fields_[c]->setRange(0, 999);
    fields_[c]->setSpecialValueText(" ");
    fields_[c]->setObjectName(QStringLiteral("channel%1").arg(c));
    label->setBuddy(fields_[c]);
    values->addWidget(label);
    values->addWidget(fields_[c]);
    connect(fields_[c], &QSpinBox::valueChanged, this, [this, c] { FieldEdited(c); });
  }
  swatch_ = new ColourButton(this);
  swatch_->setToolTip(QString());
  swatch_->setFixedSize(44, 28);
  connect(swatch_, &ColourButton::colourChosen, this, [this](uint32_t c) {
    if (selected_ < 0) return;
    PaletteEntry e = working_[selected_];
    e.red = c & 0xFF, e.green = (c >> 8) & 0xFF, e.blue = (c >> 16) & 0xFF;
    SetEntry(e);
    FillFields();
  });
  values->addWidget(swatch_);
  values->addStretch();
  left->addLayout(values);
  left->addStretch();

  if (!small && request->image) {
    const Frame* frame = request->image;
    try {
      image_ = frame->dib;
    } catch (const std::bad_alloc&) {
      image_.clear();
    }
    if (!image_.empty()) {
      transparentColour_ = TransparencyShownIn(frame);
      view_ = new ImageView(this);
      view_->setObjectName("image");
      view_->SetImage(&image_);
      top->addWidget(view_, 1);
      connect(view_, &ImageView::pixelClicked, this, [this](int, int, int index, bool) {
        if (index < static_cast<int>(working_.size())) Select(index);
      });
    }
  }

  auto* bottom = new QHBoxLayout;
  if (!small) {
    // The palette as edited so far goes to a PAL file; the dialog stays open.
    export_ = new QPushButton(UiText(str::PalExport), this);
    connect(export_, &QPushButton::clicked, this, [this] {
      QString path = ChoosePaletteFile(this, false);
      if (path.isEmpty()) return;
      Palette palette;
      palette.entries = working_;
      if (!palette.entries.empty()) WritePalFile(path.toStdString(), palette);
    });
    load_ = new QPushButton(UiText(str::PalLoad), this);
    load_->setObjectName(QStringLiteral("load"));
    connect(load_, &QPushButton::clicked, this, &PaletteEditDialog::LoadPalette);
    // Enter keeps meaning OK after either file chooser.
    for (QPushButton* b : {load_, export_}) b->setAutoDefault(false);
    bottom->addWidget(load_);
    bottom->addWidget(export_);
    loadNotice_ = new QLabel(this);
    loadNotice_->setObjectName(QStringLiteral("loadNotice"));
    loadNotice_->setWordWrap(true);
    loadNotice_->hide();
    layout->addWidget(loadNotice_);
  }
  bottom->addStretch();
  QDialogButtonBox* buttons = OkCancelButtons(this);
  for (QAbstractButton* b : buttons->buttons())
    if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) ok_ = qobject_cast<QPushButton*>(b);
  bottom->addWidget(buttons);
  layout->addLayout(bottom);

  connect(grid_, &PaletteGrid::indexClicked, this, &PaletteEditDialog::Select);
  flashTimer_.setSingleShot(true);
  flashTimer_.setInterval(100);
  connect(&flashTimer_, &QTimer::timeout, this, [this] {
    flash_ = -1;
    ShowColours();
  });
  FillFields();
  ShowColours();
}

void PaletteEditDialog::Select(int index) {
  if (index < 0 || index >= static_cast<int>(working_.size())) return;
  selected_ = index;
  grid_->SetSelected(index);
  FillFields();
  // The entry flashes in the grid and the image, then shows its colour again.
  flash_ = index;
  ShowColours();
  flashTimer_.start();
}

void PaletteEditDialog::LoadPalette() {
  QString path = ChoosePaletteFile(this, true);
  // Back from the chooser, Enter is OK again.
  if (ok_) ok_->setFocus(Qt::OtherFocusReason);
  if (path.isEmpty()) return;
  // A file that cannot be read has shown its message and changes nothing.
  PalettePtr loaded = ReadPaletteSource(path.toStdString(), ReadOptionsFromPreferences(), this);
  if (!loaded || loaded->entries.empty()) return;
  const PaletteLoadOutcome outcome = TakeLoadedPalette(working_, loaded->entries);
  changed_ = changed_ || outcome.changed > 0;
  // Say what was kept: the palette cannot change its size here.
  const QByteArray name = QFileInfo(path).fileName().toUtf8();
  const int size = static_cast<int>(working_.size());
  const int count = static_cast<int>(loaded->entries.size());
  QString notice;
  if (outcome.nearest) {
    notice = QString::asprintf(UiText(str::PalLoadNearest).toUtf8().constData(), size, count,
                               name.constData(), outcome.taken);
  } else if (count < size) {
    notice = QString::asprintf(UiText(str::PalLoadFirst).toUtf8().constData(), count,
                               name.constData(), count, size - count);
  } else {
    notice =
        QString::asprintf(UiText(str::PalLoadAll).toUtf8().constData(), count, name.constData());
  }
  loadNotice_->setText(notice);
  loadNotice_->show();
  FillFields();
  ShowColours();
}

void PaletteEditDialog::FillFields() {
  ++filling_;
  bool on = selected_ >= 0;
  for (int c = 0; c < 3; ++c) {
    fields_[c]->setEnabled(on);
    if (!on) {
      fields_[c]->setValue(0);
      fields_[c]->setSpecialValueText(" ");
      continue;
    }
    fields_[c]->setSpecialValueText(QString());
    const PaletteEntry& e = working_[selected_];
    fields_[c]->setValue(c == 0 ? e.red : c == 1 ? e.green : e.blue);
  }
  swatch_->setEnabled(on);
  swatch_->SetColour(on ? ToColour(working_[selected_]) : 0);
  --filling_;
}

void PaletteEditDialog::FieldEdited(int channel) {
  QSpinBox* field = fields_[channel];
  if (field->value() > 255) {
    field->setValue(255);  // comes back here with 255
    return;
  }
  if (filling_ || selected_ < 0) return;
  PaletteEntry e = working_[selected_];
  e.red = static_cast<uint8_t>(fields_[0]->value());
  e.green = static_cast<uint8_t>(fields_[1]->value());
  e.blue = static_cast<uint8_t>(fields_[2]->value());
  SetEntry(e);
  swatch_->SetColour(ToColour(e));
}

void PaletteEditDialog::SetEntry(const PaletteEntry& entry) {
  PaletteEntry& e = working_[selected_];
  if (e.red == entry.red && e.green == entry.green && e.blue == entry.blue) return;
  e = entry;
  changed_ = true;
  ShowColours();
}

void PaletteEditDialog::ShowColours() {
  grid_->SetEntries(working_);
  grid_->SetFlash(flash_);
  if (view_) {
    view_->SetTipData(working_, transparent_);
    view_->SetColours(DisplayColours(working_, transparent_, true, transparentColour_, flash_));
  }
}

void PaletteEditDialog::accept() {
  if (usageBox_ && usageBox_->isEnabled()) SetPrefOn(Pref::ShowColourUsage, usageBox_->isChecked());
  request_->result.clear();
  if (changed_ && working_ != reference_) request_->result = working_;
  QDialog::accept();
}

bool AskPaletteEdit(QWidget* owner, PaletteEditRequest* request) {
  if (!request || !request->palette || request->palette->entries.empty()) return false;
  PaletteEditDialog dialog(owner, request, false);
  return dialog.exec() == QDialog::Accepted && !request->result.empty();
}

uint32_t EditLocalPalette(QWidget* owner, Animation& document, int frameIndex) {
  Frame* frame = FrameAt(document, frameIndex);
  if (!frame || !frame->localPalette) return 0;
  uint32_t usage[256] = {};
  CountFrameColours(frame, usage, true);
  PaletteEditRequest request;
  request.palette = frame->localPalette.get();
  request.usage = usage;
  request.image = frame;
  request.transparentIndex = frame->Transparent() ? frame->transparentIndex : -1;
  if (!AskPaletteEdit(owner, &request)) return 0;
  return ApplyPaletteEdit(document, frameIndex, request.result);
}

uint32_t EditGlobalPalette(QWidget* owner, Animation& document, int imageFrame) {
  if (!document.globalPalette) return 0;
  Frame* frame = FrameAt(document, std::max(imageFrame, 0));
  if (frame && frame->localPalette) {
    frame = FirstFrame(document);
    while (frame && frame->localPalette) frame = NextFrame(frame);
  }
  PaletteEditRequest request;
  request.palette = document.globalPalette.get();
  request.usage = document.colourUsage.data();
  request.image = frame;
  request.transparentIndex = frame && frame->Transparent() ? frame->transparentIndex : -1;
  if (!AskPaletteEdit(owner, &request)) return 0;
  return ApplyPaletteEdit(document, -1, request.result);
}

bool EditFixedPalette(QWidget* owner) {
  std::vector<PaletteEntry> entries = LoadFixedPaletteEntries();
  if (entries.empty()) return false;
  Palette palette;
  palette.entries = entries;
  PaletteEditRequest request;
  request.palette = &palette;
  PaletteEditDialog dialog(owner, &request, true);
  if (dialog.exec() != QDialog::Accepted || request.result.empty()) return false;
  return StoreFixedPaletteEntries(request.result);
}

}  // namespace lw
