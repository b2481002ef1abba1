// The Save As dialog driven through its widgets: the choice box and panels follow the type and
// the document, OK builds the options, the overwrite question, cancel, and the keyboard.
#include "ui/save/save_as_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/flow_text.h"
#include "formats/open_flow.h"
#include "ui/save/individual_files_panel.h"
#include "ui/save/strip_panel.h"
#include "ui/window/application.h"
#include "support/window_driver.h"

namespace lw::test {

namespace {

QString Text(int id) { return QString::fromStdString(ResText(id)); }

// frames frames of width x height, the ones listed selected.
AnimationPtr Document(int frames, uint32_t width = 20, uint32_t height = 10,
                      std::vector<int> selected = {}) {
  AnimationPtr a = MakeDocument(width, height, BrightPalette());
  for (int i = 0; i < frames; ++i) AddSquareFrame(*a, 0, 0, width, height, 1 + i % 7, -1);
  int i = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
    if (std::find(selected.begin(), selected.end(), i) == selected.end()) continue;
    f->selected = true;
    ++a->selectedCount;
  }
  return a;
}

QStringList Entries(const QComboBox* box) {
  QStringList list;
  if (box->isHidden()) return list;
  for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
  return list;
}

// Presses the chooser's own OK button, as the user does.
void PressOk(SaveAsWindow& dialog) {
  auto* buttons = dialog.Files()->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  QVERIFY(buttons);
  for (QAbstractButton* b : buttons->buttons())
    if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) return b->click();
  QFAIL("no OK button");
}

}  // namespace

class SaveAsDialogTest : public UiTest {
  Q_OBJECT

  SaveAsRequest Request(const Animation& document, int type, uint32_t previousBits = 0,
                        const std::string& name = "Sans titre.gif") {
    SaveAsRequest r;
    r.document = &document;
    r.folder = dir.path().toStdString() + "/";
    r.proposedName = name;
    r.type = type;
    r.previousBits = previousBits;
    r.documentTraits = DocumentTraits(document);
    return r;
  }

  // Runs the save flow of the document with the real dialog, on which f acts.
  static bool SaveThrough(ShellState& state, std::string* chosen,
                          const std::function<void(SaveAsWindow*)>& f) {
    bool saved = false;
    WithModal<SaveAsWindow>([&] { saved = SaveAsDialog(state, "", *state.document, -1, chosen); },
                            f);
    return saved;
  }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    services.saveAs = [](const SaveAsRequest& request, SaveAsChoice* choice) {
      return lw::AskSaveAs(nullptr, request, choice);
    };
  }
  void cleanupTestCase() { EndUi(); }
  void init() { services.Reset(); }

  // Choosing another type keeps the mode chosen when that type offers it too.
  void theChosenModeStaysAcrossTypes() {
    AnimationPtr doc = Document(3);
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif));
    dialog.ChoiceBox()->setCurrentIndex(2);
    dialog.ChooseType(savetype::Png);
    QCOMPARE(dialog.ChoiceBox()->currentText(), Text(str::StripOption));
    QVERIFY(dynamic_cast<StripPanel*>(dialog.Panel()));
    dialog.ChoiceBox()->setCurrentIndex(0);
    dialog.ChooseType(savetype::Gif);
    QCOMPARE(dialog.ChoiceBox()->currentText(), Text(str::IndividualImagesOption));
    QVERIFY(dynamic_cast<IndividualFilesPanel*>(dialog.Panel()));
    // "Animation" is not offered for BMP: the usual preselection.
    dialog.ChoiceBox()->setCurrentIndex(0);
    dialog.ChooseType(savetype::Bmp);
    QCOMPARE(dialog.ChoiceBox()->currentIndex(), 0);
    // A mode only preselected was never chosen: the next type preselects its own.
    SaveAsWindow fresh(nullptr, Request(*doc, savetype::Png));
    fresh.ChooseType(savetype::Gif);
    QCOMPARE(fresh.ChoiceBox()->currentText(), Text(str::AnimationOption));
  }

  // OK on a name with another type's extension chooses that type as the list would, panel
  // included, and keeps the extension as typed; the dialog stays open to show the type's
  // choices, and saves at once when it has none. A movie name is refused.
  void theExtensionOfTheNameChoosesTheType() {
    AnimationPtr several = Document(3);
    SaveAsWindow dialog(nullptr, Request(*several, savetype::Gif));
    QLineEdit* name = dialog.NameField();
    name->selectAll();
    QTest::keyClicks(name, "anim.avi");
    PressOk(dialog);
    QVERIFY(dialog.result() != QDialog::Accepted);
    QCOMPARE(dialog.Type(), savetype::Avi);
    QCOMPARE(name->text(), QStringLiteral("anim.avi"));
    QVERIFY(dialog.Files()->selectedNameFilter().startsWith("Fichiers AVI"));
    QVERIFY(dialog.Panel());
    QVERIFY(dialog.ChoiceBox()->isHidden());
    name->setText("photo.jpeg");  // as a click on a file of the list puts it
    PressOk(dialog);
    QVERIFY(dialog.result() != QDialog::Accepted);
    QCOMPARE(dialog.Type(), savetype::Jpeg);
    QCOMPARE(name->text(), QStringLiteral("photo.jpeg"));
    QCOMPARE(Entries(dialog.ChoiceBox()),
             QStringList({Text(str::IndividualImagesOption), Text(str::StripOption)}));

    AnimationPtr one = Document(1);
    SaveAsWindow single(nullptr, Request(*one, savetype::Gif));
    single.NameField()->setText("image.png");
    PressOk(single);
    QCOMPARE(single.result(), int(QDialog::Accepted));
    QCOMPARE(single.Choice().type, savetype::Png);
    QVERIFY(QString::fromStdString(single.Choice().path).endsWith("/image.png"));

    services.Reset();
    SaveAsWindow movie(nullptr, Request(*one, savetype::Gif));
    movie.NameField()->setText("clip.mp4");
    PressOk(movie);
    QVERIFY(movie.result() != QDialog::Accepted);
    QCOMPARE(movie.Type(), savetype::Gif);
    std::vector<ShownMessage> shown = services.Messages();
    QCOMPARE(shown.size(), size_t(1));
    QCOMPARE(shown[0].text, FormatResText(str::CannotSaveExtension, "mp4"));
  }

  void stripOptions() {
    struct Case {
      int typed;  // number of strips typed
      bool vertical;
      int shown;  // the count the box keeps
      uint32_t bits;
      const char* result;
    } const cases[] = {
        {1, false, 1, (1u << 16) | 16,
         "pour un total de 5 cadre(s) par bande dessinée et 100x10 pixels."},
        {2, true, 2, (2u << 16) | 16 | 0x100,
         "pour un total de 3 cadre(s) par bande dessinée et 40x30 pixels."},
    };
    AnimationPtr doc = Document(5, 20, 10);
    for (const Case& c : cases) {
      SetPrefOn(Pref::StripWasVertical, !c.vertical);
      SaveAsWindow dialog(nullptr, Request(*doc, savetype::Png, saveopt::Strip, "bande.png"));
      auto* panel = dynamic_cast<StripPanel*>(dialog.Panel());
      QVERIFY(panel);
      QCOMPARE(panel->VerticalButton()->isChecked(), !c.vertical);  // from the last choice
      QCOMPARE(panel->CountBox()->value(), 1);
      (c.vertical ? panel->VerticalButton() : panel->HorizontalButton())->click();
      panel->CountBox()->selectAll();
      QTest::keyClicks(panel->CountBox(), QString::number(c.typed));
      QCOMPARE(panel->CountBox()->value(), c.shown);
      QCOMPARE(panel->ResultLine()->text(), QString::fromUtf8(c.result));
      PressOk(dialog);
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
      QCOMPARE(dialog.Choice().type, savetype::Png);
      QCOMPARE(dialog.Choice().options.optionBits, c.bits);
      QCOMPARE(dialog.Choice().path, dir.path().toStdString() + "/bande.png");
      QCOMPARE(PrefOn(Pref::StripWasVertical), c.vertical);  // remembered
    }
    // The arrows stop at the frame count.
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif, saveopt::Strip));
    auto* panel = dynamic_cast<StripPanel*>(dialog.Panel());
    QVERIFY(panel);
    panel->CountBox()->stepBy(10);
    QCOMPARE(panel->CountBox()->value(), 5);
  }

  void individualFilesOptions() {
    struct Case {
      int type;
      const char* base;
      bool onlySelected;
      std::vector<int> selected;
      uint32_t bits;
      const char* first;
      const char* second;
    } const cases[] = {
        {savetype::Gif, "anim###.gif", false, {}, 32, "anim001.gif", "anim002.gif"},
        {savetype::Jpeg, "anim", true, {1, 4}, 32 | 64, "anim01.jpg", "anim02.jpg"},
    };
    for (const Case& c : cases) {
      AnimationPtr doc = Document(12, 20, 10, c.selected);
      // An existing file of the proposed name asks nothing: the files are written one by one.
      QFile existing(dir.path() + "/images.gif");
      QVERIFY(existing.open(QIODevice::WriteOnly));
      existing.close();
      SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif, saveopt::Individual, "images.gif"));
      dialog.ChooseType(c.type);
      auto* panel = dynamic_cast<IndividualFilesPanel*>(dialog.Panel());
      QVERIFY(panel);
      QCOMPARE(panel->SelectedFramesButton()->isEnabled(), !c.selected.empty());
      QVERIFY(panel->AllFramesButton()->isChecked());
      QVERIFY(panel->BaseNameField()->text().startsWith("images."));  // from the name field
      if (c.onlySelected) panel->SelectedFramesButton()->click();
      panel->BaseNameField()->setText(QString::fromUtf8(c.base));
      QCOMPARE(panel->FirstExample()->text(), QString::fromUtf8(c.first));
      QCOMPARE(panel->SecondExample()->text(), QString::fromUtf8(c.second));
      PressOk(dialog);
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
      QCOMPARE(dialog.Choice().options.optionBits, c.bits);
      QCOMPARE(dialog.Choice().options.baseName, dir.path().toStdString() + "/" + c.base);
      QVERIFY(services.Messages().empty());
    }
    // No base name: the dialog stays.
    AnimationPtr doc = Document(3);
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Bmp, saveopt::Individual, "x.bmp"));
    auto* panel = dynamic_cast<IndividualFilesPanel*>(dialog.Panel());
    QVERIFY(panel);
    panel->BaseNameField()->clear();
    PressOk(dialog);
    QVERIFY(dialog.result() != QDialog::Accepted);
  }

  void overwriteQuestion() {
    AnimationPtr doc = Document(2);
    const std::string target = dir.path().toStdString() + "/existe.gif";
    QFile file(QString::fromStdString(target));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    for (int answer : {answer::No, answer::Yes}) {
      services.Reset();
      services.QueueAnswer(answer);
      SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif, 0, "existe.gif"));
      PressOk(dialog);
      QCOMPARE(dialog.result() == QDialog::Accepted, answer == answer::Yes);
      std::vector<ShownMessage> shown = services.Messages();
      QCOMPARE(shown.size(), size_t(1));
      QCOMPARE(shown[0].caption, ResText(str::SaveAsTitle));
      QCOMPARE(shown[0].text, "\"" + target + " existe déjà.\nVoulez-vous le remplacer?\"");
      QCOMPARE(shown[0].style & mb::DefButton2, mb::DefButton2);
    }
    // A new name asks nothing; the animation was chosen.
    services.Reset();
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif, 0, "nouveau.gif"));
    PressOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Choice().options.optionBits, saveopt::AnimationChosen);
    QVERIFY(services.Messages().empty());
  }

  void cancelWritesNothing() {
    QTemporaryDir folder;
    SetInitDir(folder.path().toStdString() + "/");
    ShellState state;
    state.document = Document(3);
    std::string chosen;
    QVERIFY(!SaveThrough(state, &chosen, [](SaveAsWindow* d) {
      d->NameField()->setText("rien.gif");
      QTest::keyClick(d->NameField(), Qt::Key_Escape);
    }));
    QVERIFY(chosen.empty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
  }

  void typingANameAndEnterSavesAGif() {
    QTemporaryDir folder;
    SetInitDir(folder.path().toStdString() + "/");
    SetPrefField(PrefField::SaveOptionBits, 0);
    SetPrefField(PrefField::SaveType, savetype::Png);
    ShellState state;
    state.document = Document(3);
    std::string chosen;
    QVERIFY(SaveThrough(state, &chosen, [](SaveAsWindow* d) {
      QCOMPARE(d->Type(), savetype::Png);  // the last type used
      auto* types = d->Files()->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(types);
      QTest::keyClick(types, Qt::Key_Home);  // the first type: GIF
      QCOMPARE(d->Type(), savetype::Gif);
      QCOMPARE(d->NameField()->text(), QStringLiteral("Sans titre.gif"));
      QVERIFY(!d->ChoiceBox()->isHidden());
      QLineEdit* name = d->NameField();
      QVERIFY(name->hasFocus() || QApplication::focusWidget() == nullptr);
      name->selectAll();
      QTest::keyClicks(name, "essai");
      QTest::keyClick(name, Qt::Key_Return);
    }));
    const std::string path = folder.path().toStdString() + "/essai.gif";
    QCOMPARE(chosen, path);  // the whole animation: the document may take the name
    AnimationPtr back;
    QCOMPARE(ReadAnyFile(path, nullptr, &back, nullptr), ReadComplete);
    QCOMPARE(back->frameCount, int16_t(3));
    QCOMPARE(PrefFieldValue(PrefField::SaveOptionBits), saveopt::AnimationChosen);
    QCOMPARE(static_cast<int>(PrefFieldValue(PrefField::SaveType)), savetype::Gif);
    std::string dir;
    QVERIFY(GetInitDir(&dir));
    QCOMPARE(dir, folder.path().toStdString() + "/");
  }

  // The whole way: the dialog's choice reaches the writers and the files land in the folder.
  void stripAndIndividualFilesAreWritten() {
    QTemporaryDir folder;
    SetInitDir(folder.path().toStdString() + "/");
    SetPrefOn(Pref::StripWasVertical, false);
    struct Case {
      int type;
      int choiceFromEnd;  // 1: "Bande", 2: "Image(s) individuelle(s)"
      const char* name;
      QStringList files;
    } const cases[] = {
        {savetype::Png, 1, "bande.png", {"bande.png"}},
        {savetype::Bmp, 2, "image.bmp", {"image1.bmp", "image2.bmp", "image3.bmp"}},
    };
    for (const Case& c : cases) {
      ShellState state;
      state.document = Document(3);
      std::string chosen;
      QVERIFY(SaveThrough(state, &chosen, [&c](SaveAsWindow* d) {
        d->ChooseType(c.type);
        d->ChoiceBox()->setCurrentIndex(d->ChoiceBox()->count() - c.choiceFromEnd);
        d->NameField()->setText(QString::fromUtf8(c.name));
        if (auto* panel = dynamic_cast<IndividualFilesPanel*>(d->Panel()))
          panel->BaseNameField()->setText(QString::fromUtf8(c.name));
        PressOk(*d);
      }));
      QVERIFY(chosen.empty());  // part of the document: it keeps no name
      QDir dir(folder.path());
      QCOMPARE(dir.entryList(QDir::Files, QDir::Name), c.files);
      for (const QString& file : c.files) {
        AnimationPtr back;
        QCOMPARE(ReadAnyFile(dir.filePath(file).toStdString(), nullptr, &back, nullptr),
                 ReadComplete);
        QCOMPARE(back->screenWidth, c.files.size() == 1 ? 60u : 20u);
        QCOMPARE(back->screenHeight, 10u);
        dir.remove(file);
      }
    }
  }

  void chooserSpeaksFrench() {
    QVERIFY(LoadQtFrenchTexts());
    AnimationPtr doc = Document(1);
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif));
    auto* buttons = dialog.Files()->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(buttons);
    QStringList texts;
    for (QAbstractButton* b : buttons->buttons()) texts << b->text().remove('&');
    QVERIFY2(texts.contains("Enregistrer") && texts.contains("Annuler"),
             qPrintable(texts.join(',')));
    // Every JPEG extension is listed, .jpeg included.
    QString jpeg = dialog.Files()->nameFilters().filter(QStringLiteral("JPEG")).value(0);
    QVERIFY2(jpeg.endsWith(QStringLiteral("(*.jpg *.jpe *.jpeg)")), qPrintable(jpeg));
  }

};

LW_UI_TEST(SaveAsDialogTest)

}  // namespace lw::test

#include "save_as_dialog_test.moc"
