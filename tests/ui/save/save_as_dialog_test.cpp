// The Save As dialog driven through its widgets: the choice box and panels follow the type and
// the document, OK builds the options, the overwrite question, cancel, and the keyboard.
#include "ui/save/save_as_dialog.h"

#include "formats/avi/avi_format.h"
#include "formats/bmp/bmp_format.h"
#include "formats/common/flow_text.h"
#include "formats/gif/gif_format.h"
#include "formats/jpeg/jpeg_entry.h"
#include "formats/png/png_entry.h"
#include "shell/options_from_preferences.h"
#include "support/window_driver.h"
#include "ui/save/individual_files_panel.h"
#include "ui/save/strip_panel.h"
#include "ui/window/application.h"

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

// Presses the chooser's own OK button, as the user does.
void PressOk(SaveAsWindow& dialog) { BoxButton(dialog.Files())->click(); }

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
    dialog.ChoiceBox()->setCurrentIndex(1);
    dialog.ChooseType(savetype::Gif);
    QVERIFY(dynamic_cast<IndividualFilesPanel*>(dialog.Panel()));
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
    QVERIFY(dialog.Panel() && dialog.ChoiceBox()->isHidden());
    name->setText("photo.jpeg");  // as a click on a file of the list puts it
    PressOk(dialog);
    QCOMPARE(dialog.Type(), savetype::Jpeg);

    AnimationPtr one = Document(1);
    SaveAsWindow single(nullptr, Request(*one, savetype::Gif));
    single.NameField()->setText("image.png");
    PressOk(single);
    QCOMPARE(single.result(), int(QDialog::Accepted));
    QCOMPARE(single.Choice().type, savetype::Png);
    QVERIFY(QString::fromStdString(single.Choice().path).endsWith("/image.png"));

    services.Reset();
    SaveAsWindow movie(nullptr, Request(*one, savetype::Gif));
    movie.NameField()->setText("clip.mkv");
    PressOk(movie);
    QVERIFY(movie.result() != QDialog::Accepted);
    QCOMPARE(movie.Type(), savetype::Gif);
    std::vector<ShownMessage> shown = services.Messages();
    QCOMPARE(shown.size(), size_t(1));
    QCOMPARE(shown[0].text, FormatResText(str::CannotSaveExtension, "mkv"));
  }

  // Two vertical strips: the result line, the bits and the path OK gives, the direction kept.
  void stripOptions() {
    AnimationPtr doc = Document(5, 20, 10);
    SetPrefOn(Pref::StripWasVertical, false);
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Png, saveopt::Strip, "bande.png"));
    auto* panel = dynamic_cast<StripPanel*>(dialog.Panel());
    QVERIFY(panel && panel->HorizontalButton()->isChecked());  // from the last choice
    panel->VerticalButton()->click();
    panel->CountBox()->selectAll();
    QTest::keyClicks(panel->CountBox(), "2");
    QCOMPARE(panel->ResultLine()->text(),
             QStringLiteral("pour un total de 3 cadre(s) par bande dessinée et 40x30 pixels."));
    PressOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Choice().type, savetype::Png);
    QCOMPARE(dialog.Choice().options.optionBits, (2u << 16) | 16 | 0x100);
    QCOMPARE(dialog.Choice().path, dir.path().toStdString() + "/bande.png");
    QVERIFY(PrefOn(Pref::StripWasVertical));
  }

  // Only the two selected frames, as JPEG: the examples number them; an existing file of the
  // proposed name asks nothing (the files are written one by one); no base name keeps the dialog.
  void individualFilesOptions() {
    AnimationPtr doc = Document(12, 20, 10, {1, 4});
    QFile existing(dir.path() + "/images.gif");
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    SaveAsWindow dialog(nullptr, Request(*doc, savetype::Gif, saveopt::Individual, "images.gif"));
    dialog.ChooseType(savetype::Jpeg);
    auto* panel = dynamic_cast<IndividualFilesPanel*>(dialog.Panel());
    QVERIFY(panel && panel->AllFramesButton()->isChecked());
    QVERIFY(panel->BaseNameField()->text().startsWith("images."));  // from the name field
    panel->SelectedFramesButton()->click();
    panel->BaseNameField()->setText("anim");
    QCOMPARE(panel->FirstExample()->text(), QStringLiteral("anim01.jpg"));
    QCOMPARE(panel->SecondExample()->text(), QStringLiteral("anim02.jpg"));
    PressOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Choice().options.optionBits, 32u | 64u);
    QCOMPARE(dialog.Choice().options.baseName, dir.path().toStdString() + "/anim");
    QVERIFY(services.Messages().empty());
    AnimationPtr three = Document(3);
    SaveAsWindow bmp(nullptr, Request(*three, savetype::Bmp, saveopt::Individual, "x.bmp"));
    auto* none = dynamic_cast<IndividualFilesPanel*>(bmp.Panel());
    QVERIFY(none && !none->SelectedFramesButton()->isEnabled());
    none->BaseNameField()->clear();
    PressOk(bmp);
    QVERIFY(bmp.result() != QDialog::Accepted);
  }

  // Files of the names already there: the panel shows which files will be written and where;
  // OK asks once, naming how many; No keeps the dialog open.
  void individualFilesAskOnceBeforeReplacing() {
    AnimationPtr doc = Document(3);
    const QString folder = dir.path();
    for (const char* name : {"/image1.bmp", "/image3.bmp"}) {
      QFile file(folder + name);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    for (int answer : {answer::No, answer::Yes}) {
      services.Reset();
      services.QueueAnswer(answer);
      SaveAsWindow dialog(nullptr, Request(*doc, savetype::Bmp, saveopt::Individual, "x.bmp"));
      auto* panel = dynamic_cast<IndividualFilesPanel*>(dialog.Panel());
      QVERIFY(panel);
      panel->BaseNameField()->setText("image.bmp");
      QCOMPARE(panel->WrittenNames()->text(), "image1.bmp … image3.bmp dans " + folder);
      PressOk(dialog);
      QCOMPARE(dialog.result() == QDialog::Accepted, answer == answer::Yes);
      QCOMPARE(services.Messages().size(), size_t(1));
      QCOMPARE(QString::fromStdString(services.Messages()[0].text),
               "2 fichiers portant ces noms existent déjà dans " + folder +
                   ".\nVoulez-vous les remplacer?");
    }
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
      QCOMPARE(services.Messages().size(), size_t(1));
    }
  }

  void cancelWritesNothing() {
    QTemporaryDir folder;
    SetInitDir(folder.path().toStdString() + "/");
    ShellState state;
    state.settings = &PreferenceFlowSettings();  // as the window's
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
    state.settings = &PreferenceFlowSettings();  // as the window's
    state.document = Document(3);
    std::string chosen;
    QVERIFY(SaveThrough(state, &chosen, [](SaveAsWindow* d) {
      QCOMPARE(d->Type(), savetype::Png);  // the last type used
      QTest::keyClick(d->Files()->findChild<QComboBox*>("fileTypeCombo"),
                      Qt::Key_Home);  // the first type: GIF
      QCOMPARE(d->Type(), savetype::Gif);
      QCOMPARE(d->NameField()->text(), QStringLiteral("Sans titre.gif"));
      QLineEdit* name = d->NameField();
      name->selectAll();
      QTest::keyClicks(name, "essai");
      QTest::keyClick(name, Qt::Key_Return);
    }));
    const std::string path = folder.path().toStdString() + "/essai.gif";
    QCOMPARE(chosen, path);  // the whole animation: the document may take the name
    QVERIFY(QFile::exists(QString::fromStdString(path)));
    QCOMPARE(PrefFieldValue(PrefField::SaveOptionBits), saveopt::AnimationChosen);
    QCOMPARE(static_cast<int>(PrefFieldValue(PrefField::SaveType)), savetype::Gif);
    std::string dir;
    QVERIFY(GetInitDir(&dir));
    QCOMPARE(dir, folder.path().toStdString() + "/");
  }

  // The whole way: the dialog's choice reaches the writers and the files land in the folder;
  // part of the document saved, the document keeps no name.
  void individualFilesAreWritten() {
    QTemporaryDir folder;
    SetInitDir(folder.path().toStdString() + "/");
    ShellState state;
    state.settings = &PreferenceFlowSettings();  // as the window's
    state.document = Document(3);
    std::string chosen;
    QVERIFY(SaveThrough(state, &chosen, [](SaveAsWindow* d) {
      d->ChooseType(savetype::Bmp);
      d->ChoiceBox()->setCurrentIndex(d->ChoiceBox()->count() - 2);  // "Image(s) individuelle(s)"
      auto* panel = dynamic_cast<IndividualFilesPanel*>(d->Panel());
      QVERIFY(panel);
      panel->BaseNameField()->setText("image.bmp");
      PressOk(*d);
    }));
    QVERIFY(chosen.empty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files, QDir::Name),
             QStringList({"image1.bmp", "image2.bmp", "image3.bmp"}));
  }
};

LW_UI_TEST(SaveAsDialogTest)

}  // namespace lw::test

#include "save_as_dialog_test.moc"
