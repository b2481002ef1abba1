#include "ui/dialogs/layer_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/frame_viewer.h"
#include "platform/services.h"
#include "shell/layer_commands.h"
#include "ui/common/colour_button.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {

// The dialog's choice of place: free (dragged), then the nine anchors in Anchor's order.
constexpr int kPlaceTexts[] = {
    str::LayerPlaceFree,        str::LayerPlaceTopLeft,    str::LayerPlaceTop,
    str::LayerPlaceTopRight,    str::LayerPlaceLeft,       str::LayerPlaceCenter,
    str::LayerPlaceRight,       str::LayerPlaceBottomLeft, str::LayerPlaceBottom,
    str::LayerPlaceBottomRight,
};

QSpinBox* Spin(QWidget* parent, const char* name, int low, int high, int value) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(low, high);
  box->setValue(value);
  box->setAccelerated(true);
  return box;
}

// The text with the %d of the table replaced by the number.
QString WithNumber(int textId, int number) {
  return UiText(textId).replace(QStringLiteral("%d"), QString::number(number));
}

// The layer's straight RGBA pixels as an image, the opacity applied, at strength (0..256) as the
// fades leave it on one frame: the alpha rounded as the frames get it.
QImage LayerImage(const Layer& layer, int opacity, int strength) {
  QImage image(static_cast<int>(layer.width), static_cast<int>(layer.height),
               QImage::Format_ARGB32);
  if (image.isNull()) return image;
  for (uint32_t y = 0; y < layer.height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    for (uint32_t x = 0; x < layer.width; ++x) {
      const LayerPixel& p = layer.At(x, y);
      const int alpha = (p.alpha * opacity + 50) / 100;
      row[x] = qRgba(p.red, p.green, p.blue, (alpha * strength + 128) >> 8);
    }
  }
  return image;
}

// What the frame shows, composed as the preview window composes it.
QImage FramePicture(const Animation& animation, int index, uint32_t background) {
  FrameViewer viewer;
  viewer.background = background;
  if (!PrepareViewer(&viewer, &animation, animation.screenWidth, animation.screenHeight)) return {};
  ShowPictureUpTo(&viewer, index + 1, true);
  const PixelView view = ViewerPicture(&viewer);
  if (!view.pixels || view.width <= 0 || view.height <= 0) return {};
  return QImage(reinterpret_cast<const uchar*>(view.pixels), view.width, view.height,
                view.stride * 4, QImage::Format_RGB32)
      .copy();
}

// The style fontconfig and Qt call the family's plain face, else its first.
int PlainStyle(const QStringList& styles) {
  for (const char* plain : {"Regular", "Book", "Normal", "Roman", "Medium"}) {
    const int at = styles.indexOf(QString::fromLatin1(plain));
    if (at >= 0) return at;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

LayerPreview::LayerPreview(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("layerPreview"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(160, 120);
  setCursor(Qt::SizeAllCursor);
}

void LayerPreview::SetPicture(QImage picture) {
  picture_ = std::move(picture);
  Fit();
  update();
}

void LayerPreview::SetLayer(QImage layer, int64_t x, int64_t y) {
  layer_ = std::move(layer);
  layerX_ = x;
  layerY_ = y;
  update();
}

void LayerPreview::Fit() {
  if (picture_.isNull()) return;
  // Whole pixels when the screen is small, so that the text's edges can be seen.
  const double fit =
      std::min((width() - 8.0) / picture_.width(), (height() - 8.0) / picture_.height());
  scale_ = fit >= 1 ? std::min(std::floor(fit), 4.0) : std::max(fit, 0.01);
  origin_ = QPointF((width() - picture_.width() * scale_) / 2,
                    (height() - picture_.height() * scale_) / 2);
}

QPointF LayerPreview::ScreenToView(double x, double y) const {
  return origin_ + QPointF(x * scale_, y * scale_);
}

void LayerPreview::resizeEvent(QResizeEvent*) { Fit(); }

// The screen's picture and the layer over it, in screen pixels.
void LayerPreview::Draw(QPainter& p) const {
  const QRect screen(0, 0, picture_.width(), picture_.height());
  p.drawImage(screen.topLeft(), picture_);
  // Only what falls on the screen is drawn into the frames.
  p.setClipRect(screen);
  if (!layer_.isNull()) p.drawImage(QPointF(layerX_, layerY_), layer_);
}

QImage LayerPreview::Shown() const {
  QImage shown(picture_.size(), QImage::Format_RGB32);
  if (shown.isNull()) return shown;
  QPainter p(&shown);
  Draw(p);
  return shown;
}

void LayerPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  if (picture_.isNull()) return;
  p.translate(origin_);
  p.scale(scale_, scale_);
  p.setRenderHint(QPainter::SmoothPixmapTransform, scale_ < 1);
  Draw(p);
  if (hasFocus()) {
    p.setClipping(false);
    p.setPen(QPen(palette().highlight().color(), 0, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(layerX_, layerY_, layer_.width(), layer_.height()));
  }
}

void LayerPreview::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  dragging_ = true;
  pressedAt_ = event->position();
  emit dragStarted();
}

void LayerPreview::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  const QPointF moved = (event->position() - pressedAt_) / scale_;
  emit dragged(std::llround(moved.x()), std::llround(moved.y()));
}

void LayerPreview::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseReleaseEvent(event);
  mouseMoveEvent(event);
  dragging_ = false;
}

void LayerPreview::keyPressEvent(QKeyEvent* event) {
  const int step = event->modifiers().testFlag(Qt::ShiftModifier) ? 10 : 1;
  switch (event->key()) {
    case Qt::Key_Left: emit nudged(-step, 0); break;
    case Qt::Key_Right: emit nudged(step, 0); break;
    case Qt::Key_Up: emit nudged(0, -step); break;
    case Qt::Key_Down: emit nudged(0, step); break;
    default: return QWidget::keyPressEvent(event);
  }
  update();
}

// ---------------------------------------------------------------------------------------------

LayerDialog::LayerDialog(LayerRequest* request, QWidget* parent)
    : QDialog(parent), request_(request) {
  const bool text = request->picture == nullptr;
  setObjectName(QStringLiteral("LayerDialog"));
  setWindowTitle(UiText(text ? str::LayerTextTitle : str::LayerImageTitle));
  const Animation& a = *request->animation;

  auto* columns = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  columns->addLayout(left);
  auto* right = new QVBoxLayout;
  columns->addLayout(right, 1);

  auto* form = new QFormLayout;
  left->addLayout(form);
  auto label = [this](int id, QWidget* buddy) {
    auto* l = new QLabel(UiText(id), this);
    l->setBuddy(buddy);
    return l;
  };
  if (text) {
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setTabChangesFocus(true);
    text_->setFixedHeight(text_->fontMetrics().lineSpacing() * 4 + 12);
    form->addRow(label(str::LayerText, text_), text_);

    // The families fontconfig gives the engine: what is chosen is what gets drawn.
    font_ = new QComboBox(this);
    font_->setObjectName(QStringLiteral("font"));
    for (const std::string& family : FontFamilies()) font_->addItem(QString::fromStdString(family));
    const int dejaVu = font_->findText(QStringLiteral("DejaVu Sans"), Qt::MatchExactly);
    font_->setCurrentIndex(std::max(dejaVu, 0));
    form->addRow(label(str::LayerFont, font_), font_);
    style_ = new QComboBox(this);
    style_->setObjectName(QStringLiteral("style"));
    form->addRow(label(str::LayerStyle, style_), style_);
    FillStyles();
    size_ = Spin(this, "size", 1, MaxFontSize, 24);
    size_->setSuffix(UiText(str::LayerPixelsSuffix));
    form->addRow(label(str::LayerSize, size_), size_);

    colour_ = new ColourButton(this);
    colour_->setObjectName(QStringLiteral("colour"));
    colour_->SetColour(0xFFFFFF);
    form->addRow(label(str::LayerColour, colour_), colour_);
    outlineColour_ = new ColourButton(this);
    outlineColour_->setObjectName(QStringLiteral("outlineColour"));
    outlineColour_->SetColour(0);
    form->addRow(label(str::LayerOutline, outlineColour_), outlineColour_);
    outlineWidth_ = Spin(this, "outlineWidth", 0, MaxOutlineWidth, 2);
    outlineWidth_->setSuffix(UiText(str::LayerPixelsSuffix));
    outlineWidth_->setSpecialValueText(UiText(str::LayerNone));
    form->addRow(label(str::LayerOutlineWidth, outlineWidth_), outlineWidth_);
    shadow_ = new QCheckBox(UiText(str::LayerShadow), this);
    shadow_->setObjectName(QStringLiteral("shadow"));
    form->addRow(QString(), shadow_);
    const TextStyle plain;
    shadowColour_ = new ColourButton(this);
    shadowColour_->setObjectName(QStringLiteral("shadowColour"));
    shadowColour_->SetColour(plain.shadowColour);
    form->addRow(label(str::LayerShadowColour, shadowColour_), shadowColour_);
    shadowX_ = Spin(this, "shadowX", -MaxOutlineWidth, MaxOutlineWidth, plain.shadowX);
    shadowY_ = Spin(this, "shadowY", -MaxOutlineWidth, MaxOutlineWidth, plain.shadowY);
    for (QSpinBox* offset : {shadowX_, shadowY_}) {
      offset->setSuffix(UiText(str::LayerPixelsSuffix));
      offset->setEnabled(false);
    }
    shadowColour_->setEnabled(false);
    form->addRow(label(str::LayerShadowX, shadowX_), shadowX_);
    form->addRow(label(str::LayerShadowY, shadowY_), shadowY_);
    align_ = new QComboBox(this);
    align_->setObjectName(QStringLiteral("align"));
    for (int id : {str::LayerAlignLeft, str::LayerAlignCenter, str::LayerAlignRight})
      align_->addItem(UiText(id));
    align_->setCurrentIndex(1);
    form->addRow(label(str::LayerAlign, align_), align_);
  } else {
    auto* name =
        new QLabel(UiText(str::LayerImageFile)
                       .replace(QStringLiteral("%s"), QString::fromStdString(request->pictureName)),
                   this);
    name->setObjectName(QStringLiteral("pictureName"));
    form->addRow(name);
  }

  place_ = new QComboBox(this);
  place_->setObjectName(QStringLiteral("place"));
  for (int id : kPlaceTexts) place_->addItem(UiText(id));
  place_->setCurrentIndex(1 + static_cast<int>(text ? Anchor::Bottom : Anchor::Center));
  form->addRow(label(str::LayerPlace, place_), place_);
  margin_ = Spin(this, "margin", 0, 65535, 8);
  margin_->setSuffix(UiText(str::LayerPixelsSuffix));
  form->addRow(label(str::LayerMargin, margin_), margin_);
  opacity_ = Spin(this, "opacity", 0, 100, 100);
  opacity_->setSuffix(QStringLiteral(" %"));
  form->addRow(label(str::LayerOpacity, opacity_), opacity_);

  auto* framesBox = new QGroupBox(UiText(str::LayerFrames), this);
  auto* grid = new QGridLayout(framesBox);
  allFrames_ = new QRadioButton(UiText(str::LayerAllFrames), framesBox);
  allFrames_->setObjectName(QStringLiteral("allFrames"));
  selectedFrames_ = new QRadioButton(UiText(str::LayerSelectedFrames), framesBox);
  selectedFrames_->setObjectName(QStringLiteral("selectedFrames"));
  range_ = new QRadioButton(UiText(str::LayerRangeFrom), framesBox);
  range_->setObjectName(QStringLiteral("rangeFrames"));
  const int count = std::max<int>(a.frameCount, 1);
  rangeFrom_ = Spin(framesBox, "rangeFrom", 1, count, request->currentIndex + 1);
  rangeTo_ = Spin(framesBox, "rangeTo", 1, count, count);
  grid->addWidget(allFrames_, 0, 0, 1, 4);
  grid->addWidget(selectedFrames_, 1, 0, 1, 4);
  grid->addWidget(range_, 2, 0);
  grid->addWidget(rangeFrom_, 2, 1);
  grid->addWidget(label(str::LayerRangeTo, rangeTo_), 2, 2);
  grid->addWidget(rangeTo_, 2, 3);
  fadeIn_ = Spin(framesBox, "fadeIn", 0, 32767, 0);
  fadeOut_ = Spin(framesBox, "fadeOut", 0, 32767, 0);
  for (QSpinBox* fade : {fadeIn_, fadeOut_}) fade->setSuffix(UiText(str::LayerFramesSuffix));
  grid->addWidget(label(str::LayerFadeIn, fadeIn_), 3, 0, 1, 2);
  grid->addWidget(fadeIn_, 3, 2, 1, 2);
  grid->addWidget(label(str::LayerFadeOut, fadeOut_), 4, 0, 1, 2);
  grid->addWidget(fadeOut_, 4, 2, 1, 2);
  left->addWidget(framesBox);
  left->addStretch(1);
  selectedFrames_->setEnabled(a.selectedCount > 0);
  (request->selectedFirst && a.selectedCount > 0 ? selectedFrames_ : allFrames_)->setChecked(true);

  // The frame the preview shows: the fades make the layer fainter on some.
  auto* previewRow = new QHBoxLayout;
  previewFrame_ = Spin(this, "previewFrame", 1, count, request->currentIndex + 1);
  previewRow->addWidget(label(str::LayerPreview, previewFrame_));
  previewRow->addWidget(previewFrame_);
  previewRow->addStretch(1);
  right->addLayout(previewRow);
  preview_ = new LayerPreview(this);
  auto* previewHint = label(str::LayerPreviewHint, preview_);
  previewHint->setWordWrap(true);
  right->addWidget(previewHint);
  right->addWidget(preview_, 1);
  frameNote_ = new QLabel(this);
  frameNote_->setObjectName(QStringLiteral("frameNote"));
  frameNote_->setWordWrap(true);
  right->addWidget(frameNote_);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("note"));
  note_->setWordWrap(true);
  right->addWidget(note_);
  right->addWidget(OkCancelButtons(this));

  preview_->SetPicture(FramePicture(a, request->currentIndex, PreviewBackgroundColour(this)));
  setTabOrder(previewFrame_, preview_);

  if (text) {
    connect(text_, &QPlainTextEdit::textChanged, this, &LayerDialog::Refresh);
    connect(font_, &QComboBox::currentIndexChanged, this, [this] {
      FillStyles();
      Refresh();
    });
    connect(style_, &QComboBox::currentIndexChanged, this, &LayerDialog::Refresh);
    connect(size_, &QSpinBox::valueChanged, this, &LayerDialog::Refresh);
    connect(colour_, &ColourButton::colourChosen, this, &LayerDialog::Refresh);
    connect(outlineColour_, &ColourButton::colourChosen, this, &LayerDialog::Refresh);
    connect(outlineWidth_, &QSpinBox::valueChanged, this, &LayerDialog::Refresh);
    connect(shadow_, &QCheckBox::toggled, this, [this](bool on) {
      for (QWidget* field : std::initializer_list<QWidget*>{shadowColour_, shadowX_, shadowY_})
        field->setEnabled(on);
      Refresh();
    });
    connect(shadowColour_, &ColourButton::colourChosen, this, &LayerDialog::Refresh);
    connect(shadowX_, &QSpinBox::valueChanged, this, &LayerDialog::Refresh);
    connect(shadowY_, &QSpinBox::valueChanged, this, &LayerDialog::Refresh);
    connect(align_, &QComboBox::currentIndexChanged, this, &LayerDialog::Refresh);
  }
  connect(place_, &QComboBox::currentIndexChanged, this, &LayerDialog::Placed);
  connect(margin_, &QSpinBox::valueChanged, this, &LayerDialog::Placed);
  connect(opacity_, &QSpinBox::valueChanged, this, &LayerDialog::Placed);
  connect(preview_, &LayerPreview::dragStarted, this, &LayerDialog::StartDrag);
  connect(preview_, &LayerPreview::dragged, this,
          [this](int64_t dx, int64_t dy) { MoveBy(dx, dy, true); });
  connect(preview_, &LayerPreview::nudged, this, [this](int64_t dx, int64_t dy) {
    StartDrag();
    MoveBy(dx, dy, true);
  });
  // Its option's letter takes the range to its first frame, ready to be typed.
  connect(range_, &QRadioButton::clicked, this, [this] { rangeFrom_->setFocus(); });
  auto rangeEdited = [this] { range_->setChecked(true); };
  connect(rangeFrom_, &QSpinBox::valueChanged, this, rangeEdited);
  connect(rangeTo_, &QSpinBox::valueChanged, this, rangeEdited);
  // Which frames get the layer, and the fades, change how strong it shows on the previewed one.
  for (QRadioButton* choice : {allFrames_, selectedFrames_, range_})
    connect(choice, &QRadioButton::toggled, this, &LayerDialog::Placed);
  for (QSpinBox* field : {rangeFrom_, rangeTo_, fadeIn_, fadeOut_})
    connect(field, &QSpinBox::valueChanged, this, &LayerDialog::Placed);
  connect(previewFrame_, &QSpinBox::valueChanged, this, &LayerDialog::ShowFrame);

  if (text) {
    Refresh();
    text_->setFocus();
  } else {
    layer_ = *request->picture;
    layerMade_ = true;
    Refresh();
    preview_->setFocus();
  }
}

void LayerDialog::FillStyles() {
  QStringList styles;
  for (const std::string& style : FontStyles(font_->currentText().toStdString()))
    styles << QString::fromStdString(style);
  const bool blocked = style_->blockSignals(true);
  style_->clear();
  style_->addItems(styles);
  style_->setCurrentIndex(styles.isEmpty() ? -1 : PlainStyle(styles));
  style_->blockSignals(blocked);
}

TextStyle LayerDialog::Style() const {
  TextStyle style;
  if (!text_) return style;
  style.text = text_->toPlainText().toStdString();
  style.family = font_->currentText().toStdString();
  style.style = style_->currentText().toStdString();
  style.size = size_->value();
  style.colour = colour_->Colour();
  style.outlineColour = outlineColour_->Colour();
  style.outlineWidth = outlineWidth_->value();
  style.shadow = shadow_->isChecked();
  style.shadowColour = shadowColour_->Colour();
  style.shadowX = shadowX_->value();
  style.shadowY = shadowY_->value();
  style.align = static_cast<TextAlign>(align_->currentIndex());
  return style;
}

LayerOptions LayerDialog::Options() const {
  LayerOptions options;
  options.place = placement_;
  options.fadeIn = fadeIn_->value();
  options.fadeOut = fadeOut_->value();
  options.opacity = opacity_->value();
  const Animation& a = *request_->animation;
  if (allFrames_->isChecked()) return options;
  options.frames.assign(static_cast<size_t>(std::max<int>(a.frameCount, 0)), false);
  int index = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f), ++index) {
    const bool chosen = selectedFrames_->isChecked()
                            ? f->selected != 0
                            : index + 1 >= rangeFrom_->value() && index + 1 <= rangeTo_->value();
    options.frames[static_cast<size_t>(index)] = chosen;
  }
  return options;
}

LayerOrigin LayerDialog::Origin() const {
  const Animation& a = *request_->animation;
  return PlaceLayer(layer_, placement_, a.screenWidth, a.screenHeight);
}

// The place fields changed: the placement follows them, and the preview.
void LayerDialog::Placed() {
  if (updating_) return;
  const int choice = place_->currentIndex();
  if (choice == 0 && placement_.anchor != Anchor::At) {
    // Made free from the list: it stays where the anchor had put it.
    const LayerOrigin at = Origin();
    placement_.x = at.x + layer_.boxLeft;
    placement_.y = at.y + layer_.boxTop;
  }
  placement_.anchor = choice > 0 ? static_cast<Anchor>(choice - 1) : Anchor::At;
  margin_->setEnabled(choice > 0);
  placement_.margin = margin_->value();

  // How strong the layer is on the previewed frame: none when the frame is left out, else as the
  // fades make it on the k-th of the chosen frames.
  const LayerOptions options = Options();
  const int shown = previewFrame_->value() - 1;
  int k = 0, count = 0;
  bool chosen = options.frames.empty();
  for (size_t i = 0; i < options.frames.size(); ++i) {
    if (!options.frames[i]) continue;
    if (static_cast<int>(i) < shown) ++k;
    if (static_cast<int>(i) == shown) chosen = true;
    ++count;
  }
  if (options.frames.empty()) {
    k = shown;
    count = std::max<int>(request_->animation->frameCount, 1);
  }
  const int strength = chosen ? FadeStrength(k, count, options.fadeIn, options.fadeOut) : 0;
  QString frameNote;
  if (!chosen) {
    frameNote = UiText(str::LayerFrameLeftOut);
  } else if (strength < 256) {
    frameNote = WithNumber(str::LayerFrameStrength, (strength * 100 + 128) / 256)
                    .replace(QStringLiteral("%%"), QStringLiteral("%"));
  }
  frameNote_->setText(frameNote);
  preview_->SetLayer(
      layerMade_ && strength > 0 ? LayerImage(layer_, opacity_->value(), strength) : QImage(),
      Origin().x, Origin().y);
}

// Another frame chosen for the preview: its picture, and the layer as strong as it lands there.
void LayerDialog::ShowFrame() {
  preview_->SetPicture(FramePicture(*request_->animation, previewFrame_->value() - 1,
                                    PreviewBackgroundColour(this)));
  Placed();
}

// Dragging starts from wherever the layer stands: an anchored layer becomes free there.
void LayerDialog::StartDrag() {
  const LayerOrigin at = Origin();
  dragStartX_ = at.x + layer_.boxLeft;
  dragStartY_ = at.y + layer_.boxTop;
  if (placement_.anchor != Anchor::At) {
    placement_.anchor = Anchor::At;
    placement_.x = dragStartX_;
    placement_.y = dragStartY_;
    updating_ = true;
    place_->setCurrentIndex(0);
    margin_->setEnabled(false);
    updating_ = false;
  }
}

void LayerDialog::MoveBy(int64_t dx, int64_t dy, bool fromStart) {
  const int64_t baseX = fromStart ? dragStartX_ : placement_.x;
  const int64_t baseY = fromStart ? dragStartY_ : placement_.y;
  placement_.x = std::clamp<int64_t>(baseX + dx, -65535, 65535);
  placement_.y = std::clamp<int64_t>(baseY + dy, -65535, 65535);
  Placed();
}

// The layer drawn again by the engine from the fields; a text it cannot draw says why.
void LayerDialog::Refresh() {
  QString message;
  if (text_) {
    std::string detail;
    Layer layer;
    const int id = RenderText(Style(), &layer, &detail);
    layerMade_ = id == 0;
    if (layerMade_) {
      layer_ = std::move(layer);
    } else if (id != str::CaptionEmptyText) {
      message = UiText(id).replace(QStringLiteral("%s"), QString::fromStdString(detail));
    }
  }
  note_->setText(message);
  if (auto* ok = findChild<QDialogButtonBox*>()) {
    if (QPushButton* button = ok->button(QDialogButtonBox::Ok)) button->setEnabled(layerMade_);
  }
  Placed();
}

void LayerDialog::accept() {
  if (!layerMade_) return;
  LayerReport report;
  uint32_t hints = 0;
  const int message = LayOverCommand(
      *request_->animation, layer_, Options(),
      parentWidget() ? static_cast<WindowHandle>(parentWidget()) : static_cast<WindowHandle>(this),
      &report, &hints);
  if (message == LayerStopped) return;  // Esc during the work: the frames are as they were
  if (message != 0) {
    ShowErrorId(message);
    return;
  }
  hints_ = hints;
  const std::string note = LayerReportNote(report);
  if (!note.empty())
    Services().MessageBox(this, note, windowTitle().toStdString(), mb::Ok | mb::IconAsterisk);
  QDialog::accept();
}

bool AskLayer(QWidget* owner, LayerRequest* request, uint32_t* hints) {
  if (hints) *hints = 0;
  if (!request || !request->animation || !FrameAt(*request->animation, request->currentIndex))
    return false;
  LayerDialog dialog(request, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (hints) *hints = dialog.Hints();
  return true;
}

}  // namespace lw
