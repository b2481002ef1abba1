// Makes the pictures of docs/: opens the window and its dialogs on the sample animation, off
// screen, and grabs each into the folder named by the first argument.
// Usage: loopwright_shots DOCS_FOLDER SAMPLE.gif
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <functional>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "core/animation.h"
#include "core/gif_reader.h"
#include "edit/properties.h"
#include "formats/save_flow.h"
#include "shell/command_ids.h"
#include "shell/frame_edit.h"
#include "ui/common/animation_view.h"
#include "ui/common/image_view.h"
#include "ui/common/palette_grid.h"
#include "ui/dialogs/comment_list_dialog.h"
#include "ui/dialogs/duration_panel.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/move_crop_dialog.h"
#include "ui/dialogs/optimize_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/pixel_edit_dialog.h"
#include "ui/dialogs/properties_sheet.h"
#include "ui/dialogs/reduce_colours_dialog.h"
#include "ui/dialogs/resize_dialog.h"
#include "ui/save/save_as_dialog.h"
#include "ui/services/qt_services.h"
#include "ui/window/application.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui/window/preferences_sheet.h"
#include "ui/window/preview_window.h"

namespace lw {
namespace {

QString folder;
int failures = 0;

// Lets timers and paints run for a while: flashes end, sizes get measured.
void Settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void Save(const QPixmap& picture, const char* name) {
  const QString path = folder + "/" + name;
  if (picture.isNull() || !picture.save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    ++failures;
    return;
  }
  std::printf("%s %dx%d\n", qPrintable(path), picture.width(), picture.height());
}

// Runs command; the modal dialog it opens is prepared, photographed and closed.
template <class D>
void ShootModal(MainWindow& window, int command, const char* name,
                std::function<void(D*)> prepare) {
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    prepare(dialog);
    Settle(400);
    Save(dialog->grab(), name);
    dialog->reject();
  });
  poll.start();
  window.Command(command);
}

// Two dialogs side by side, each under a bar with its title, as a window manager shows them.
QPixmap SideBySide(QWidget& left, QWidget& right) {
  constexpr int kBar = 24;
  const QPixmap pictures[] = {left.grab(), right.grab()};
  QPixmap both(pictures[0].width() + pictures[1].width() + 24,
               std::max(pictures[0].height(), pictures[1].height()) + kBar + 16);
  both.fill(QColor(0x60, 0x70, 0x80));
  QPainter painter(&both);
  int x = 8;
  for (int i = 0; i < 2; ++i) {
    const QRect bar(x, 8, pictures[i].width(), kBar);
    painter.fillRect(bar, QColor(0x30, 0x40, 0x58));
    painter.setPen(Qt::white);
    painter.drawText(bar.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     (i ? right : left).windowTitle());
    painter.drawPixmap(x, 8 + kBar, pictures[i]);
    x += pictures[i].width() + 8;
  }
  return both;
}

void Pictures(const std::string& sample) {
  MainWindow window;
  window.resize(900, 620);
  window.show();
  if (window.OpenDocument(sample) != 1) {
    std::fprintf(stderr, "could not open %s\n", sample.c_str());
    ++failures;
    return;
  }
  Animation& doc = *window.Document();
  window.SelectFrame(2, selmode::Only);
  window.SelectFrame(3, selmode::Extend);
  Settle(1500);  // the size estimate reaches the status bar
  Save(window.grab(), "fenetre-principale.png");

  // The Frame menu open over the window.
  if (auto* menu =
          window.menuBar()->findChild<QMenu*>(QStringLiteral("menu%1").arg(str::MenuFrame))) {
    window.SelectFrame(1, selmode::Only);
    menu->popup(window.menuBar()->mapToGlobal(
        window.menuBar()->actionGeometry(menu->menuAction()).bottomLeft()));
    Settle(300);
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.drawPixmap(window.mapFromGlobal(menu->mapToGlobal(QPoint(0, 0))), menu->grab());
    painter.end();
    menu->hide();
    Save(picture, "liveedit.png");
  }

  window.SelectFrame(0, selmode::Only);
  ShootModal<PaletteEditDialog>(
      window, cmd::EditGlobalPalette, "palette.png", [](PaletteEditDialog* d) {
        QTest::mouseClick(d->Grid(), Qt::LeftButton, {}, d->Grid()->CellCentre(12));
      });
  ShootModal<IndexChoiceDialog>(window, cmd::ChooseTransparentColour, "transparence.png",
                                [](IndexChoiceDialog* d) {
                                  d->Click(0);
                                  d->SetTool(IndexChoiceDialog::Add);
                                  d->Click(1);
                                });
  ShootModal<PixelEditDialog>(window, cmd::EditPixels, "pixels.png", [](PixelEditDialog* d) {
    d->SetCurrentColour(3);
    d->View()->ZoomIn();
  });
  window.SelectFrame(2, selmode::Only);
  ShootModal<ResizeDialog>(window, cmd::ResizeAnimation, "redimensionner.png", [](ResizeDialog* d) {
    d->KeepAspectBox()->setChecked(true);
    d->WidthPercentField()->setValue(50);
  });
  ShootModal<MoveCropDialog>(window, cmd::MoveCrop, "deplacer-rogner.png", [](MoveCropDialog* d) {
    d->resize(720, 420);
    d->Field(0)->setValue(d->State().w / 6);
    d->Field(3)->setValue(d->State().h * 4 / 5);
    d->Field(4)->setValue(d->State().x + d->State().w / 8);
    d->findChild<QCheckBox*>()->setChecked(true);
  });
  ShootModal<OptimizeDialog>(window, cmd::Optimize, "optimiser.png", [](OptimizeDialog*) {});
  ShootModal<ReduceColoursDialog>(window, cmd::ReduceColours, "reduire-couleurs.png",
                                  [](ReduceColoursDialog* d) {
                                    d->Count()->setCurrentIndex(d->Count()->findText("16"));
                                    emit d->Count()->activated(d->Count()->currentIndex());
                                    QElapsedTimer clock;
                                    clock.start();
                                    while (!d->Measured() && clock.elapsed() < 10000) Settle(50);
                                  });
  ShootModal<QDialog>(window, cmd::HtmlCode, "code-html.png", [](QDialog*) {});

  // The animation page beside the comment list holding one comment.
  InsertComment(doc, 0, "Créé avec Loopwright");
  {
    PropertiesRequest request;
    request.opener = PropertiesRequest::Opener::Animation;
    request.animation = &doc;
    request.fileName = QFileInfo(QString::fromStdString(sample)).fileName().toStdString();
    PropertiesSheet sheet(&window, &request);
    CommentListDialog comments(&window, &doc);
    sheet.show();
    comments.show();
    Settle(300);
    Save(SideBySide(sheet, comments), "proprietes-animation.png");
  }

  // Save As in its three modes, over a folder holding a few files of each kind.
  const QString shown = QDir::tempPath() + "/Animations";
  QDir().mkpath(shown + "/Anciennes");
  int size = 700;
  for (const char* name : {"chat.gif", "logo.gif", "bande.png", "fond.bmp", "photo.jpg"}) {
    QFile f(shown + "/" + name);
    if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(size *= 3, '\0'));
  }
  struct Shot {
    int type;
    uint32_t previousBits;
    const char* file;
  } const shots[] = {
      {savetype::Gif, 0, "sauvegarder-sous.png"},
      {savetype::Png, saveopt::Strip, "sauvegarder-bande.png"},
      {savetype::Bmp, saveopt::Individual, "sauvegarder-images.png"},
  };
  for (const Shot& s : shots) {
    SaveAsRequest request;
    request.document = &doc;
    request.folder = shown.toStdString() + "/";
    request.proposedName = "animation.gif";
    request.type = s.type;
    request.previousBits = s.previousBits;
    request.documentTraits = DocumentTraits(doc);
    SaveAsWindow dialog(nullptr, request);
    dialog.ChooseType(s.type);
    dialog.show();
    Settle(300);
    Save(dialog.grab(), s.file);
  }
  QDir(shown).removeRecursively();

  // The preview with its duration panel, and the preferences.
  {
    PreviewWindow preview(&doc, PreviewMode::Durations, 3);
    if (preview.Open()) {
      preview.Panel()->SetOperation(DurationOperation::Multiply);
      preview.Panel()->ValueField()->setText(QStringLiteral("1,5"));
      preview.View()->SetZoomStep(1);
      preview.adjustSize();
      Settle(100);
      Save(preview.grab(), "apercu.png");
    }
  }
  PreferencesSheet sheet;
  sheet.Tabs()->setCurrentIndex(1);
  sheet.show();
  sheet.adjustSize();
  Settle(100);
  Save(sheet.grab(), "preferences.png");
  window.SetModified(false);
}

}  // namespace
}  // namespace lw

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DOCS_FOLDER SAMPLE.gif\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  lw::folder = QString::fromLocal8Bit(argv[1]);
  lw::LoadQtFrenchTexts();
  lw::LoadPreferences();
  lw::SetPrefOn(lw::Pref::NoAutoPreview, true);
  lw::SetPrefOn(lw::Pref::FirstStartDone, true);
  lw::SetPrefOn(lw::Pref::ShowColourUsage, true);
  lw::SetPrefOn(lw::Pref::ShowColourData, false);
  lw::InstallQtServices();
  lw::Pictures(argv[2]);
  lw::UninstallQtServices();
  return lw::failures == 0 ? 0 : 1;
}
