#include "ui/dialogs/record_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/string_ids.h"
#include "core/animation.h"
#include "formats/record/recorder.h"
#include "ui/common/ui_text.h"

namespace lw {
namespace {

QString AreaText(const CaptureArea& a) {
  return UiText(str::RecordAreaSize).arg(a.width).arg(a.height).arg(a.x).arg(a.y);
}

// The windows of the screen, topmost first, asked before the frozen picture covers them.
std::vector<CaptureArea> ShownWindows() {
  const char* display = std::getenv("DISPLAY");
  return display && *display ? X11WindowAreas(display) : std::vector<CaptureArea>{};
}

}  // namespace

QRect AsRect(const CaptureArea& a) {
  return QRect(a.x, a.y, static_cast<int>(a.width), static_cast<int>(a.height));
}

// ---- AreaChooser ----

AreaChooser::AreaChooser(const QPixmap& screen, bool window)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::BypassWindowManagerHint),
      screen_(screen),
      window_(window) {
  setObjectName(QStringLiteral("areaChooser"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setCursor(window ? Qt::PointingHandCursor : Qt::CrossCursor);
  setMouseTracking(true);
  setGeometry(QRect(QPoint(0, 0), screen.deviceIndependentSize().toSize()));
}

QRect AreaChooser::Dragged() const {
  return QRect(QPoint(std::min(from_.x(), to_.x()), std::min(from_.y(), to_.y())),
               QSize(std::abs(to_.x() - from_.x()), std::abs(to_.y() - from_.y())));
}

bool AreaChooser::ChooseFullScreen(CaptureArea* area) {
  showFullScreen();
  return Choose(area);
}

bool AreaChooser::Choose(CaptureArea* area) {
  std::vector<CaptureArea> windows;
  if (window_) windows = ShownWindows();
  windows_ = std::move(windows);
  if (!isVisible()) show();
  raise();
  activateWindow();
  grabKeyboard();
  while (result_ < 0 && isVisible()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  releaseKeyboard();
  hide();
  if (result_ != 1) return false;
  *area = area_;
  return true;
}

const CaptureArea* AreaChooser::WindowAt(const QPoint& p) const {
  // The windows are measured in the screen's pixels, as the picture is.
  const QPoint at = (QPointF(p) * screen_.devicePixelRatio()).toPoint();
  for (const CaptureArea& a : windows_)
    if (AsRect(a).contains(at) && !(a.x == 0 && a.y == 0 && AsRect(a).size() == screen_.size()))
      return &a;
  return nullptr;
}

void AreaChooser::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, screen_);
  p.fillRect(rect(), QColor(0, 0, 0, 90));
  QRect chosen;
  if (window_) {
    if (const CaptureArea* a = WindowAt(mapFromGlobal(QCursor::pos()))) {
      const qreal ratio = screen_.devicePixelRatio();
      chosen = QRectF(QPointF(a->x, a->y) / ratio, QSizeF(a->width, a->height) / ratio).toRect();
    }
  } else if (dragging_) {
    chosen = Dragged();
  }
  QString hint = UiText(window_ ? str::RecordClickWindowHint : str::RecordDrawRegionHint);
  if (!chosen.isEmpty()) {
    const qreal ratio = screen_.devicePixelRatio();
    p.drawPixmap(chosen, screen_, QRectF(chosen.topLeft() * ratio, QSizeF(chosen.size()) * ratio));
    p.setPen(QPen(QColor(0xe7, 0x4c, 0x3c), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(chosen.adjusted(-1, -1, 0, 0));
    hint = AreaText({chosen.x(), chosen.y(), static_cast<uint32_t>(chosen.width()),
                     static_cast<uint32_t>(chosen.height())});
  }
  // The hint, or the size of what is chosen, in a tag by the pointer.
  const QPoint at = mapFromGlobal(QCursor::pos()) + QPoint(16, 20);
  QFontMetrics metrics(font());
  QRect tag = metrics.boundingRect(hint).adjusted(-6, -4, 6, 4);
  tag.moveTopLeft(at);
  if (tag.right() > width()) tag.moveRight(at.x() - 32);
  if (tag.bottom() > height()) tag.moveBottom(at.y() - 40);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x20, 0x20, 0x20, 220));
  p.drawRoundedRect(tag, 4, 4);
  p.setPen(Qt::white);
  p.drawText(tag, Qt::AlignCenter, hint);
}

void AreaChooser::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (window_) {
    if (const CaptureArea* a = WindowAt(event->position().toPoint())) {
      area_ = *a;
      result_ = 1;
    }
    return;
  }
  dragging_ = true;
  from_ = to_ = event->position().toPoint();
  update();
}

void AreaChooser::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) to_ = event->position().toPoint();
  update();
}

void AreaChooser::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  to_ = event->position().toPoint();
  const QRect r = Dragged().intersected(rect());
  if (r.width() < 2 || r.height() < 2) {  // a click, not a region
    update();
    return;
  }
  // In the picture's pixels, within it.
  const qreal ratio = screen_.devicePixelRatio();
  const QRect picture = QRect(QPoint(qRound(r.x() * ratio), qRound(r.y() * ratio)),
                              QSize(qRound(r.width() * ratio), qRound(r.height() * ratio)))
                            .intersected(screen_.rect());
  area_ = {picture.x(), picture.y(), static_cast<uint32_t>(picture.width()),
           static_cast<uint32_t>(picture.height())};
  result_ = 1;
}

void AreaChooser::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) result_ = 0;
}

bool DrawRegionOnCapture(ScreenCapture& capture, CaptureArea* area, CaptureError* error) {
  const uint32_t width = capture.ScreenWidth(), height = capture.ScreenHeight();
  std::vector<uint8_t> bgr;
  *error = width == 0 || height == 0 ? CaptureError::OutsideScreen
                                     : capture.Grab({0, 0, width, height}, false, &bgr);
  if (*error != CaptureError::None) return false;
  const auto stride = static_cast<qsizetype>(RgbStride(width));
  QImage picture(bgr.data(), static_cast<int>(width), static_cast<int>(height), stride,
                 QImage::Format_BGR888);
  QPixmap shown = QPixmap::fromImage(picture);  // a copy: bgr goes away
  // The whole picture within the screen the chooser fills, never enlarged.
  const QSize screen = QGuiApplication::primaryScreen()->size();
  shown.setDevicePixelRatio(std::max({1.0, static_cast<double>(width) / screen.width(),
                                      static_cast<double>(height) / screen.height()}));
  AreaChooser chooser(shown, false);
  return chooser.ChooseFullScreen(area);
}

// ---- RecordDialog ----

RecordDialog::RecordDialog(QWidget* owner, const RecordChoice& choice, bool canInsert)
    : QDialog(owner), choice_(choice) {
  setWindowTitle(UiText(str::RecordDialogTitle));
  setObjectName(QStringLiteral("recordDialog"));
  auto* layout = new QVBoxLayout(this);

  auto* what = new QGroupBox(UiText(str::RecordWhat), this);
  auto* whatLayout = new QGridLayout(what);
  sources_ = new QButtonGroup(this);
  const int texts[] = {str::RecordWholeScreen, str::RecordOneWindow, str::RecordRegion};
  const char* names[] = {"screen", "window", "region"};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(UiText(texts[i]), what);
    radio->setObjectName(QString::fromLatin1(names[i]));
    sources_->addButton(radio, i);
    whatLayout->addWidget(radio, i, 0);
  }
  auto* chooseWindow = new QPushButton(UiText(str::RecordChoose), what);
  chooseWindow->setObjectName(QStringLiteral("chooseWindow"));
  auto* chooseRegion = new QPushButton(UiText(str::RecordDrawRegion), what);
  chooseRegion->setObjectName(QStringLiteral("chooseRegion"));
  whatLayout->addWidget(chooseWindow, 1, 1);
  whatLayout->addWidget(chooseRegion, 2, 1);
  areaText_ = new QLabel(what);
  areaText_->setObjectName(QStringLiteral("areaText"));
  whatLayout->addWidget(areaText_, 3, 0, 1, 2);
  hiddenNote_ = new QLabel(UiText(str::RecordHiddenControl), what);
  hiddenNote_->setObjectName(QStringLiteral("hiddenNote"));
  hiddenNote_->setWordWrap(true);
  whatLayout->addWidget(hiddenNote_, 4, 0, 1, 2);
  layout->addWidget(what);
  connect(chooseWindow, &QPushButton::clicked, this, [this] {
    sources_->button(RecordChoice::OneWindow)->setChecked(true);
    ChooseArea();
  });
  connect(chooseRegion, &QPushButton::clicked, this, [this] {
    sources_->button(RecordChoice::Region)->setChecked(true);
    ChooseArea();
  });
  connect(sources_, &QButtonGroup::idClicked, this, [this] { ShowArea(); });

  auto* options = new QGridLayout;
  fps_ = new QSpinBox(this);
  fps_->setObjectName(QStringLiteral("fps"));
  fps_->setRange(1, kMaxRecordRate);
  fps_->setValue(static_cast<int>(choice.fps));
  auto* fpsLabel = new QLabel(UiText(str::RecordFps), this);
  fpsLabel->setBuddy(fps_);
  options->addWidget(fpsLabel, 0, 0);
  options->addWidget(fps_, 0, 1);
  options->setColumnStretch(2, 1);
  layout->addLayout(options);
  pointer_ = new QCheckBox(UiText(str::RecordPointer), this);
  pointer_->setObjectName(QStringLiteral("pointer"));
  pointer_->setChecked(choice.pointer);
  countdown_ = new QCheckBox(UiText(str::RecordCountdown), this);
  countdown_->setObjectName(QStringLiteral("countdown"));
  countdown_->setChecked(choice.countdown);
  layout->addWidget(pointer_);
  layout->addWidget(countdown_);

  openNew_ = new QRadioButton(UiText(str::RecordOpenNew), this);
  openNew_->setObjectName(QStringLiteral("openNew"));
  insert_ = new QRadioButton(UiText(str::RecordInsertAfter), this);
  insert_->setObjectName(QStringLiteral("insert"));
  insert_->setEnabled(canInsert);
  (choice.insert && canInsert ? insert_ : openNew_)->setChecked(true);
  layout->addWidget(openNew_);
  layout->addWidget(insert_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(UiText(str::RecordStart));
  buttons->button(QDialogButtonBox::Cancel)->setText(UiText(str::PropCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  // Under Wayland the desktop's portal asks which window or screen to share; a region is drawn
  // once the screen is shared, over its first picture.
  if (WaylandSession()) {
    chooseWindow->setEnabled(false);
    chooseRegion->setEnabled(false);
    choice_.area = {};
  }
  sources_->button(choice_.source)->setChecked(true);
  ShowArea();
}

void RecordDialog::ShowArea() {
  const int source = sources_->checkedId();
  // Under Wayland no key stops the recording, so the control stays.
  hiddenNote_->setVisible(source == RecordChoice::WholeScreen && !WaylandSession());
  if (source == RecordChoice::WholeScreen || choice_.area.width == 0) {
    const QSize size = QGuiApplication::primaryScreen()->size();
    areaText_->setText(source == RecordChoice::WholeScreen
                           ? AreaText({0, 0, static_cast<uint32_t>(size.width()),
                                       static_cast<uint32_t>(size.height())})
                           : QString());
    return;
  }
  areaText_->setText(AreaText(choice_.area));
}

void RecordDialog::ChooseArea() {
  const bool window = sources_->checkedId() == RecordChoice::OneWindow;
  // The dialog steps aside while the screen is frozen, so that it is not part of the picture. It
  // hides as a widget: a dialog's own hide would end its exec(), closing it as though cancelled.
  QWidget::setVisible(false);
  QApplication::processEvents();
  QScreen* screen = QGuiApplication::primaryScreen();
  AreaChooser chooser(screen->grabWindow(0), window);
  CaptureArea area;
  if (chooser.Choose(&area)) choice_.area = area;
  show();
  ShowArea();
}

RecordChoice RecordDialog::Choice() const {
  RecordChoice c = choice_;
  c.source = static_cast<RecordChoice::Source>(sources_->checkedId());
  c.fps = static_cast<uint32_t>(fps_->value());
  c.pointer = pointer_->isChecked();
  c.countdown = countdown_->isChecked();
  c.insert = insert_->isChecked();
  return c;
}

void RecordDialog::accept() {
  if (sources_->checkedId() != RecordChoice::WholeScreen && choice_.area.width == 0 &&
      !WaylandSession()) {
    ChooseArea();
    if (choice_.area.width == 0) return;
  }
  QDialog::accept();
}

bool AskRecord(QWidget* owner, RecordChoice* choice, bool canInsert) {
  RecordDialog dialog(owner, *choice, canInsert);
  if (dialog.exec() != QDialog::Accepted) return false;
  *choice = dialog.Choice();
  return true;
}

}  // namespace lw
