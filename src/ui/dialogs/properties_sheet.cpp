#include "ui/dialogs/properties_sheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "core/document_listener.h"
#include "edit/properties.h"
#include "platform/flow_dialogs.h"
#include "shell/options_from_preferences.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

// Signed whole numbers only; out-of-range ones are let through so that the check can say so.
QLineEdit* NumberEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,9}")), edit));
  edit->setMaximumWidth(80);
  return edit;
}

QString NumberText(const std::optional<int64_t>& value) {
  return value ? QString::number(*value) : QString();
}

// An empty field is none; a number too long for the field's range is kept out of range.
std::optional<int64_t> NumberOf(const QLineEdit* edit) {
  QString text = edit->text().trimmed();
  if (text.isEmpty() || text == QLatin1String("-")) return std::nullopt;
  bool ok = false;
  qlonglong v = text.toLongLong(&ok);
  return ok ? std::optional<int64_t>(v) : std::optional<int64_t>(INT64_MAX);
}

void SetBox(QCheckBox* box, std::optional<bool> value) {
  if (value) {
    box->setTristate(false);
    box->setChecked(*value);
  } else {
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
  }
}

std::optional<bool> BoxValue(const QCheckBox* box) {
  if (box->checkState() == Qt::PartiallyChecked) return std::nullopt;
  return box->isChecked();
}

// An "Editer..." button, greyed with the waiting hint while its dialog is not installed.
QPushButton* EditButton(QWidget* parent, const char* name, bool installed) {
  auto* button = new QPushButton(UiText(str::PropEdit), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setEnabled(installed);
  if (!installed) button->setToolTip(UiText(str::PendingColour));
  return button;
}

}  // namespace

// The page of one frame, of the selected frames or of every frame.
class FramePropertiesPage : public QWidget {
 public:
  FramePropertiesPage(QWidget* parent, Animation& animation, FrameScope scope, int frameIndex)
      : QWidget(parent), animation_(animation), scope_(scope) {
    initial_ = FillFrameRequest(animation, scope, frameIndex);
    std::vector<Frame*> frames = CoveredFrames(animation, scope, frameIndex);
    bool one = scope == FrameScope::Current;
    auto* grid = new QGridLayout(this);
    int row = 0;
    if (one) {
      name_ = new QLineEdit(this);
      name_->setObjectName(QStringLiteral("name"));
      name_->setMaxLength(static_cast<int>(MaxNameLength));
      name_->setText(QString::fromUtf8(initial_.name.value_or("").c_str()));
      grid->addWidget(new QLabel(UiText(str::PropName), this), row, 0);
      grid->addWidget(name_, row++, 1, 1, 4);
    }
    interlaced_ = new QCheckBox(UiText(str::PropInterlaced), this);
    interlaced_->setObjectName(QStringLiteral("interlaced"));
    SetBox(interlaced_, initial_.interlaced);
    interlaced_->setEnabled(animation.frameCount < 2 || PrefOn(Pref::AllowInterlace));
    grid->addWidget(interlaced_, row++, 0, 1, 2);
    if (one) {
      bool keeps = !frames.empty() && !frames[0]->rgbPlane.empty();
      trueColour_ = new QCheckBox(UiText(str::PropTrueColour), this);
      trueColour_->setObjectName(QStringLiteral("trueColour"));
      trueColour_->setChecked(keeps);
      trueColour_->setEnabled(keeps);
      grid->addWidget(trueColour_, row++, 0, 1, 3);
    }
    int withPalette = 0;
    for (const Frame* f : frames) withPalette += f->localPalette ? 1 : 0;
    localPalette_ = new QCheckBox(UiText(str::PropLocalPalette), this);
    localPalette_->setObjectName(QStringLiteral("localPalette"));
    SetBox(localPalette_, withPalette == 0 || withPalette == static_cast<int>(frames.size())
                              ? std::optional<bool>(withPalette > 0)
                              : std::nullopt);
    localPalette_->setEnabled(withPalette > 0);
    grid->addWidget(localPalette_, row, 0, 1, 2);
    if (one) {
      auto* edit = EditButton(this, "editLocalPalette", Dialogs().OffersPaletteChoosers());
      edit->setEnabled(edit->isEnabled() && withPalette > 0);
      Frame* frame = frames.empty() ? nullptr : frames[0];
      connect(edit, &QPushButton::clicked, this, [this, frame] {
        if (Dialogs().OffersPaletteChoosers() && Dialogs().EditPalette(window(), animation_, frame))
          paletteEdited_ = true;
      });
      grid->addWidget(edit, row, 2);
    }
    ++row;
    transparent_ = new QCheckBox(UiText(str::PropTransparent), this);
    transparent_->setObjectName(QStringLiteral("transparent"));
    SetBox(transparent_, initial_.transparent);
    startIndex_ = frames.empty() ? 0 : frames[0]->transparentIndex;
    startFrame_ = frames.empty() ? nullptr : frames[0];
    startTransparent_ = startFrame_ && startFrame_->Transparent();
    // The click that checks the box chooses the transparent index; cancelling unchecks it.
    connect(transparent_, &QCheckBox::clicked, this, [this](bool checked) {
      if (!checked) {
        accepted_ = false;
      } else if (!Dialogs().OffersPaletteChoosers()) {
        accepted_ = true;
        indexes_ = {startIndex_};
      } else if (!ChooseTransparency()) {
        transparent_->setChecked(false);
      }
    });
    auto* editTransparency =
        EditButton(this, "editTransparency", Dialogs().OffersPaletteChoosers());
    editTransparency->setEnabled(editTransparency->isEnabled() && startFrame_);
    connect(editTransparency, &QPushButton::clicked, this, [this] { ChooseTransparency(); });
    grid->addWidget(transparent_, row, 0, 1, 2);
    grid->addWidget(editTransparency, row++, 2);

    auto size = [&](auto get) -> QString {
      if (frames.empty()) return {};
      auto first = get(frames[0]);
      for (const Frame* f : frames)
        if (get(f) != first) return {};
      return QString::number(first);
    };
    grid->addWidget(new QLabel(UiText(str::PropWidth), this), row, 0);
    grid->addWidget(new QLabel(size([](const Frame* f) { return f->width; }), this), row, 1);
    grid->addWidget(new QLabel(UiText(str::PropOffsetX), this), row, 2);
    left_ = NumberEdit(this, "left");
    left_->setText(NumberText(initial_.left));
    grid->addWidget(left_, row++, 3);
    grid->addWidget(new QLabel(UiText(str::PropHeight), this), row, 0);
    grid->addWidget(new QLabel(size([](const Frame* f) { return f->height; }), this), row, 1);
    grid->addWidget(new QLabel(UiText(str::PropOffsetY), this), row, 2);
    top_ = NumberEdit(this, "top");
    top_->setText(NumberText(initial_.top));
    grid->addWidget(top_, row++, 3);

    auto* delayRow = new QHBoxLayout;
    delay_ = NumberEdit(this, "delay");
    delay_->setText(NumberText(initial_.delay));
    delayRow->addWidget(delay_);
    delayRow->addWidget(new QLabel(UiText(str::PropDelayBefore), this));
    delayRow->addStretch(1);
    grid->addLayout(delayRow, row++, 0, 1, 5);
    grid->addWidget(new QLabel(UiText(str::PropDelayAfter), this), row++, 0, 1, 5);

    disposal_ = new QComboBox(this);
    disposal_->setObjectName(QStringLiteral("disposal"));
    for (int id : {str::PropDisposalNone, str::PropDisposalLeave, str::PropDisposalBackground,
                   str::PropDisposalPrevious}) {
      disposal_->addItem(UiText(id));
    }
    disposal_->setCurrentIndex(initial_.disposal);
    grid->addWidget(disposal_, row++, 0, 1, 3);
    if (!one) {
      auto* note = new QLabel(UiText(str::PropSharedNote), this);
      note->setWordWrap(true);
      grid->addWidget(note, row++, 0, 1, 5);
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(row, 1);
  }

  FramePropertiesRequest Request() const {
    FramePropertiesRequest r = initial_;
    bool one = scope_ == FrameScope::Current;
    if (name_) r.name = name_->text().toStdString();
    r.interlaced = BoxValue(interlaced_);
    // On the frame page an empty field reads as 0.
    r.left = one ? NumberOf(left_).value_or(0) : NumberOf(left_);
    r.top = one ? NumberOf(top_).value_or(0) : NumberOf(top_);
    r.delay = one ? NumberOf(delay_).value_or(0) : NumberOf(delay_);
    r.disposal = disposal_->currentIndex();
    r.dropTrueColour = trueColour_ && trueColour_->isEnabled() && !trueColour_->isChecked();
    r.removeLocalPalette =
        localPalette_->isEnabled() && localPalette_->checkState() == Qt::Unchecked;
    r.transparent = BoxValue(transparent_);
    r.transparencyAccepted = accepted_;
    r.transparentIndexes = indexes_;
    return r;
  }

  bool Validate() {
    PropertyField failed = ValidateFrameFields(window(), animation_, Request());
    QLineEdit* field = failed == PropertyField::Left    ? left_
                       : failed == PropertyField::Top   ? top_
                       : failed == PropertyField::Delay ? delay_
                                                        : nullptr;
    if (field) field->setFocus();
    return failed == PropertyField::None;
  }

  // Only what the user changed on this page applies: a field left as it opened must not write
  // its opening value over what another page of the sheet changed in the same frames.
  PropertiesResult Apply() {
    FramePropertiesRequest r = Request();
    if (r.name == initial_.name) r.name.reset();
    if (r.interlaced == initial_.interlaced) r.interlaced.reset();
    if (r.left == initial_.left) r.left.reset();
    if (r.top == initial_.top) r.top.reset();
    if (r.delay == initial_.delay) r.delay.reset();
    if (r.disposal == initial_.disposal) r.disposal = -1;
    if (!r.transparencyAccepted && r.transparent == initial_.transparent) r.transparent.reset();
    r.paletteFit = PaletteFitOptionsFromPreferences();
    return ApplyFrameProperties(window(), animation_, r);
  }

  // What the page's palette editor already changed, whichever way the sheet closes.
  PropertiesResult Done() const {
    PropertiesResult result;
    if (paletteEdited_) {
      result.changes = propchange::CurrentFrame;
      result.hints = refresh::Document | refresh::Encoding;
    }
    return result;
  }

 private:
  // The transparency dialog from what the page holds; the box shows whether an index was chosen.
  bool ChooseTransparency() {
    std::vector<uint8_t> indexes = accepted_ ? indexes_ : std::vector<uint8_t>{};
    if (!accepted_ && startTransparent_) indexes = {startIndex_};
    if (!Dialogs().OffersPaletteChoosers() || !startFrame_ ||
        !Dialogs().ChooseTransparentIndexes(window(), animation_, startFrame_, &indexes)) {
      return false;
    }
    accepted_ = true;
    indexes_ = std::move(indexes);
    transparent_->setTristate(false);
    transparent_->setChecked(!indexes_.empty());
    return true;
  }

  Animation& animation_;
  FrameScope scope_;
  Frame* startFrame_ = nullptr;
  bool startTransparent_ = false;
  bool paletteEdited_ = false;
  FramePropertiesRequest initial_;
  QLineEdit* name_ = nullptr;
  QCheckBox* interlaced_ = nullptr;
  QCheckBox* trueColour_ = nullptr;
  QCheckBox* localPalette_ = nullptr;
  QCheckBox* transparent_ = nullptr;
  QLineEdit* left_ = nullptr;
  QLineEdit* top_ = nullptr;
  QLineEdit* delay_ = nullptr;
  QComboBox* disposal_ = nullptr;
  uint8_t startIndex_ = 0;
  bool accepted_ = false;
  std::vector<uint8_t> indexes_;
};

// The animation's own settings.
class AnimationPropertiesPage : public QWidget {
 public:
  AnimationPropertiesPage(QWidget* parent, Animation& animation, const std::string& fileName)
      : QWidget(parent), animation_(animation) {
    request_ = FillAnimationRequest(animation);
    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(new QLabel(UiText(str::PropFileName), this), row, 0);
    auto* file = new QLabel(QString::fromUtf8(fileName.c_str()), this);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(file, row++, 1, 1, 3);
    width_ = NumberEdit(this, "screenWidth");
    height_ = NumberEdit(this, "screenHeight");
    width_->setText(QString::number(request_.width));
    height_->setText(QString::number(request_.height));
    for (QLineEdit* e : {width_, height_}) {
      connect(e, &QLineEdit::textEdited, this, [this] { request_.sizeEdited = true; });
    }
    grid->addWidget(new QLabel(UiText(str::PropWidth), this), row, 0);
    grid->addWidget(width_, row, 1);
    auto* autoSize = new QPushButton(UiText(str::PropAutoSize), this);
    autoSize->setObjectName(QStringLiteral("autoSize"));
    connect(autoSize, &QPushButton::clicked, this, [this] {
      int64_t w = 0, h = 0;
      AutoScreenSize(animation_, &w, &h);
      width_->setText(QString::number(w));
      height_->setText(QString::number(h));
      request_.sizeEdited = true;
    });
    grid->addWidget(autoSize, row++, 2, 2, 1);
    grid->addWidget(new QLabel(UiText(str::PropHeight), this), row, 0);
    grid->addWidget(height_, row++, 1);
    grid->addWidget(new QLabel(UiText(str::PropFrameCount), this), row, 0);
    grid->addWidget(new QLabel(QString::number(animation.frameCount), this), row++, 1);
    grid->addWidget(new QLabel(UiText(str::PropLoopCount), this), row, 0);
    loops_ = NumberEdit(this, "loopCount");
    loops_->setText(QString::number(request_.loopCount));
    grid->addWidget(loops_, row, 1);
    grid->addWidget(new QLabel(UiText(str::PropLoopNote), this), row++, 2, 1, 2);

    bool global = animation.globalPalette != nullptr;
    auto* palette = new QCheckBox(UiText(str::PropGlobalPalette), this);
    palette->setChecked(global);
    // Shown only: a global palette is not removed here.
    palette->setAttribute(Qt::WA_TransparentForMouseEvents);
    palette->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(palette, row, 0);
    auto* edit = EditButton(this, "editGlobalPalette", Dialogs().OffersPaletteChoosers());
    edit->setEnabled(edit->isEnabled() && global);
    connect(edit, &QPushButton::clicked, this, [this] {
      if (Dialogs().OffersPaletteChoosers() &&
          Dialogs().EditPalette(window(), animation_, nullptr)) {
        paletteEdited_ = true;
        DrawSwatch();
      }
    });
    grid->addWidget(edit, row++, 1);
    grid->addWidget(new QLabel(UiText(str::PropBackground), this), row, 0);
    swatch_ = new QToolButton(this);
    swatch_->setObjectName(QStringLiteral("background"));
    swatch_->setFixedSize(40, 22);
    swatch_->setIconSize(QSize(32, 14));
    swatch_->setEnabled(global && Dialogs().OffersPaletteChoosers());
    if (!Dialogs().OffersPaletteChoosers()) swatch_->setToolTip(UiText(str::PendingColour));
    connect(swatch_, &QToolButton::clicked, this, [this] {
      int index =
          Dialogs().OffersPaletteChoosers()
              ? Dialogs().ChooseBackgroundIndex(window(), animation_, request_.backgroundIndex)
              : -1;
      if (index < 0) return;
      request_.backgroundIndex = index;
      DrawSwatch();
    });
    DrawSwatch();
    grid->addWidget(swatch_, row, 1);
    grid->addWidget(new QLabel(UiText(str::PropBackgroundNote), this), row++, 2, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row, 1);
  }

  AnimationPropertiesRequest Request() const {
    AnimationPropertiesRequest r = request_;
    r.width = NumberOf(width_).value_or(0);
    r.height = NumberOf(height_).value_or(0);
    r.loopCount = NumberOf(loops_).value_or(0);
    return r;
  }

  bool Validate() {
    PropertyField failed = ValidateAnimationFields(window(), animation_, Request());
    QLineEdit* field = failed == PropertyField::Width       ? width_
                       : failed == PropertyField::Height    ? height_
                       : failed == PropertyField::LoopCount ? loops_
                                                            : nullptr;
    if (field) field->setFocus();
    return failed == PropertyField::None;
  }

  PropertiesResult Apply() { return ApplyAnimationProperties(animation_, Request()); }

  PropertiesResult Done() const {
    PropertiesResult result;
    if (paletteEdited_) {
      result.changes = propchange::GlobalPalette;
      result.hints = refresh::Document | refresh::Encoding;
    }
    return result;
  }

 private:
  // The global palette's colour at the pending background index.
  void DrawSwatch() {
    QPixmap pixmap(swatch_->iconSize());
    pixmap.fill(Qt::transparent);
    const Palette* p = animation_.globalPalette.get();
    if (p && request_.backgroundIndex < p->Count()) {
      const PaletteEntry& e = p->entries[request_.backgroundIndex];
      QPainter painter(&pixmap);
      painter.fillRect(pixmap.rect(), QColor(e.red, e.green, e.blue));
      painter.setPen(Qt::black);
      painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    }
    // The colour stays readable while the button waits for its dialog.
    QIcon icon;
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Disabled);
    swatch_->setIcon(icon);
  }

  Animation& animation_;
  AnimationPropertiesRequest request_;
  QLineEdit* width_ = nullptr;
  QLineEdit* height_ = nullptr;
  QLineEdit* loops_ = nullptr;
  QToolButton* swatch_ = nullptr;
  bool paletteEdited_ = false;
};

PropertiesSheet::PropertiesSheet(QWidget* owner, PropertiesRequest* request)
    : QDialog(owner), request_(request) {
  setWindowTitle(UiText(str::PropSheetTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  Animation& a = *request->animation;
  using Opener = PropertiesRequest::Opener;
  if (request->opener == Opener::Frame) {
    bool several = request->severalSelected;
    auto* page = new FramePropertiesPage(
        tabs_, a, several ? FrameScope::Selected : FrameScope::Current, request->currentFrame);
    tabs_->addTab(page, UiText(several ? str::PropPageMultiple : str::PropPageFrame));
  }
  tabs_->addTab(new FramePropertiesPage(tabs_, a, FrameScope::All, -1),
                UiText(str::PropPageGlobal));
  tabs_->addTab(new AnimationPropertiesPage(tabs_, a, request->fileName),
                UiText(str::PropPageAnimation));
  shownPage_ = request->opener == Opener::Animation ? tabs_->count() - 1 : 0;
  tabs_->setCurrentIndex(shownPage_);
  visited_.insert(shownPage_);
  connect(tabs_, &QTabWidget::currentChanged, this, &PropertiesSheet::PageChanging);
  layout->addWidget(tabs_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(UiText(str::PropOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(UiText(str::PropCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(sizeHint().expandedTo(QSize(460, 380)));
}

bool PropertiesSheet::ValidatePage(int index) {
  QWidget* page = tabs_->widget(index);
  if (auto* frame = dynamic_cast<FramePropertiesPage*>(page)) return frame->Validate();
  if (auto* animation = dynamic_cast<AnimationPropertiesPage*>(page)) return animation->Validate();
  return true;
}

// A page whose fields fail their check keeps the sheet on it.
void PropertiesSheet::PageChanging(int index) {
  if (switching_) return;
  if (!ValidatePage(shownPage_)) {
    switching_ = true;
    tabs_->setCurrentIndex(shownPage_);
    switching_ = false;
    return;
  }
  shownPage_ = index;
  visited_.insert(index);
}

void PropertiesSheet::accept() {
  if (!ValidatePage(tabs_->currentIndex())) return;
  // Only the pages the user has seen apply, so that an unseen page cannot undo another's edit.
  for (int i = 0; i < tabs_->count(); ++i) {
    if (!visited_.count(i)) continue;
    PropertiesResult result;
    if (auto* frame = dynamic_cast<FramePropertiesPage*>(tabs_->widget(i))) {
      result = frame->Apply();
    } else if (auto* animation = dynamic_cast<AnimationPropertiesPage*>(tabs_->widget(i))) {
      result = animation->Apply();
    }
    request_->changes |= result.changes;
    request_->hints |= result.hints;
    if (!result.ok) return;  // a local palette could not be removed: the sheet stays
  }
  QDialog::accept();
}

void PropertiesSheet::done(int result) {
  // A palette edited from a page stays edited (it has its own undo step) even on Annuler: the
  // caller must still mark the document and redraw.
  for (int i = 0; i < tabs_->count(); ++i) {
    PropertiesResult edited;
    if (auto* frame = dynamic_cast<FramePropertiesPage*>(tabs_->widget(i))) {
      edited = frame->Done();
    } else if (auto* animation = dynamic_cast<AnimationPropertiesPage*>(tabs_->widget(i))) {
      edited = animation->Done();
    }
    request_->changes |= edited.changes;
    request_->hints |= edited.hints;
  }
  QDialog::done(result);
}

bool AskProperties(QWidget* owner, PropertiesRequest* request) {
  if (!request || !request->animation) return false;
  PropertiesSheet sheet(owner, request);
  if (owner) {
    QRect area = owner->window()->frameGeometry();
    sheet.adjustSize();
    sheet.move(area.center() - sheet.rect().center());
  }
  return sheet.exec() == QDialog::Accepted;
}

}  // namespace lw
