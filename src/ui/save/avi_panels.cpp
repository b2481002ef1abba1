#include "ui/save/avi_panels.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "formats/avi/avi_fix.h"
#include "platform/video_files.h"
#include "shell/options_from_preferences.h"
#include "shell/save_choices.h"
#include "ui/common/dialog_buttons.h"
#include "ui/dialogs/avi_compressor_dialog.h"

namespace lw {

namespace {

enum Choice { None = 0, Video1 = 1, Rle8 = 2, Custom = 3 };

class AviPanel : public SavePanel {
 public:
  AviPanel(const SavePanelContext& context, QWidget* parent)
      : SavePanel(parent), traits_(context.documentTraits) {
    setObjectName(QStringLiteral("AviPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const int texts[] = {str::AviNoCompression, str::AviVideo1Choice, str::AviRle8Choice,
                         str::AviCustomChoice};
    const char* names[] = {"none", "video1", "rle8", "custom"};
    for (int i = 0; i < 4; ++i) {
      auto* button = new QRadioButton(UiText(texts[i]), this);
      button->setObjectName(QString::fromLatin1(names[i]));
      group_.addButton(button, i);
      layout->addWidget(button);
    }
    audio_ = new QCheckBox(UiText(str::AviIncludeAudio), this);
    audio_->setObjectName(QStringLiteral("audio"));
    layout->addWidget(audio_);
    auto* row = new QHBoxLayout;
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("audioPath"));
    auto* browse = new QPushButton(UiText(str::AviBrowse), this);
    browse->setObjectName(QStringLiteral("browse"));
    row->addWidget(path_);
    row->addWidget(browse);
    layout->addLayout(row);
    layout->addStretch();

    // The stored choice; RLE8 codes 8-bit pictures only.
    options_ = LoadAviCompressOptions();
    int choice = PrefOn(Pref::NoAviCompression) ? None
                 : options_ == Rle8Options()    ? Rle8
                 : options_ == Video1Options()  ? Video1
                                                : Custom;
    if (traits_ & doctrait::TrueColour) {
      group_.button(Rle8)->setEnabled(false);
      if (choice == Rle8) choice = Video1;
    }
    group_.button(choice)->setChecked(true);
    audio_->setEnabled(false);

    connect(path_, &QLineEdit::textChanged, this, [this](const QString& text) {
      audio_->setEnabled(!text.isEmpty());
      audio_->setChecked(!text.isEmpty());
    });
    connect(browse, &QPushButton::clicked, this, [this] {
      QString chosen = ChooseAudioFile(this, path_->text());
      if (!chosen.isEmpty()) path_->setText(chosen);
    });
    connect(group_.button(Custom), &QRadioButton::clicked, this, [this] {
      if (ChooseAviCompressor(this, &options_)) return;
      options_ = Rle8Options();
      group_.button(traits_ & doctrait::TrueColour ? Video1 : Rle8)->setChecked(true);
    });
  }

  bool Apply(SaveOptions* options) override {
    AviSettings& avi = options->EditFormatOptions<AviSettings>();
    avi.filled = true;
    avi.traits = traits_;
    avi.withAudio = audio_->isChecked();
    if (avi.withAudio) {
      avi.audioPath = path_->text().toStdString();
      if (!HasAudioStream(avi.audioPath)) {
        ShowErrorId(str::AviNoAudioStream, avi.audioPath.c_str());
        path_->selectAll();
        path_->setFocus();
        return false;
      }
    }
    int choice = group_.checkedId();
    if (choice == None) {
      avi.compress = false;
      SetPrefOn(Pref::NoAviCompression, true);
    } else {
      avi.compress = true;
      SetPrefOn(Pref::NoAviCompression, false);
      avi.compressOptions = choice == Rle8     ? Rle8Options()
                            : choice == Video1 ? Video1Options()
                                               : options_;
      StoreAviCompressOptions(avi.compressOptions);
    }
    avi.trueColour = traits_ & doctrait::TrueColour;
    return true;
  }

 private:
  uint32_t traits_;
  AviCompressOptions options_;
  QButtonGroup group_;
  QCheckBox* audio_ = nullptr;
  QLineEdit* path_ = nullptr;
};

class AviFixPanel : public SavePanel {
 public:
  AviFixPanel(const SavePanelContext& context, QWidget* parent)
      : SavePanel(parent), document_(context.document), traits_(context.documentTraits) {
    setObjectName(QStringLiteral("AviFixPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel(UiText(str::AviFixText), this);
    text->setWordWrap(true);
    layout->addWidget(text);
    fix_ = new QPushButton(UiText(str::AviFixButton), this);
    fix_->setObjectName(QStringLiteral("fix"));
    layout->addWidget(fix_);
    why_ = new QLabel(this);
    why_->setObjectName(QStringLiteral("why"));
    why_->setWordWrap(true);
    why_->hide();
    layout->addWidget(why_);
    // What a plain Save of such a document writes: the pictures as a viewer sees them.
    // The text wraps in a label of its own: the side column is narrow for it.
    composited_ = new QCheckBox(this);
    composited_->setObjectName(QStringLiteral("composited"));
    composited_->setAccessibleName(UiText(str::AviSaveComposited));
    compositedText_ = new QLabel(UiText(str::AviSaveComposited), this);
    compositedText_->setWordWrap(true);
    compositedText_->installEventFilter(this);
    auto* row = new QHBoxLayout;
    row->addWidget(composited_, 0, Qt::AlignTop);
    row->addWidget(compositedText_, 1);
    layout->addLayout(row);
    composited_->hide();
    compositedText_->hide();
    layout->addStretch();
    connect(composited_, &QCheckBox::toggled, this, [this] {
      if (changed) changed();
    });
    connect(fix_, &QPushButton::clicked, this, [this] {
      if (!document_) return;
      // The document being saved is the one open in the window: the fix changes it, with its
      // undo entry.
      uint32_t traits = traits_;
      if (!FixForAvi(window(), *const_cast<Animation*>(document_),
                     PaletteFitOptionsFromPreferences(), &traits)) {
        OfferComposited(str::AviFixFailed);
        return;
      }
      traits_ = traits;
      fixed_ = true;
      if (changed) changed();
    });
    // Known before any click: one index cannot take the transparency of every frame.
    if (document_ && (traits_ & doctrait::Transparency) && !TransparentIndexesAgree(*document_)) {
      fix_->setEnabled(false);
      OfferComposited(str::AviFixMixedTransparency);
    }
  }

  // Nothing to set: the AVI writer composites such a document in 24 bits with the stored
  // compression, as a plain Save does.
  bool Apply(SaveOptions* /*options*/) override { return AllowsOk(); }
  bool AllowsOk() const override { return fixed_ || composited_->isChecked(); }

 protected:
  // A click on the text ticks the box, as a box's own text does.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == compositedText_ && event->type() == QEvent::MouseButtonRelease) {
      composited_->click();
      return true;
    }
    return SavePanel::eventFilter(watched, event);
  }

 private:
  void OfferComposited(int reasonId) {
    why_->setText(UiText(reasonId));
    why_->show();
    composited_->show();
    compositedText_->show();
  }

  const Animation* document_;
  uint32_t traits_;
  bool fixed_ = false;
  QPushButton* fix_ = nullptr;
  QLabel* why_ = nullptr;
  QCheckBox* composited_ = nullptr;
  QLabel* compositedText_ = nullptr;
};

}  // namespace

SavePanel* MakeAviPanel(const SavePanelContext& context, QWidget* parent) {
  return new AviPanel(context, parent);
}

SavePanel* MakeAviFixPanel(const SavePanelContext& context, QWidget* parent) {
  return new AviFixPanel(context, parent);
}

QString ChooseAudioFile(QWidget* owner, const QString& current) {
  QString start = current;
  if (start.isEmpty()) {
    std::string dir;
    if (GetInitDir(&dir)) start = QString::fromStdString(dir);
  }
  const QString filters = UiText(str::FilterSupportedAudio) + QStringLiteral(" (*.wav *.avi);;") +
                          UiText(str::FilterWavFiles) + QStringLiteral(";;") +
                          UiText(str::FilterAviFilesEnglish);
  for (;;) {
    QString chosen = QFileDialog::getOpenFileName(owner, UiText(str::InsertAudioTitle), start,
                                                  filters, nullptr, QFileDialog::ReadOnly);
    if (chosen.isEmpty()) return {};
    if (HasAudioStream(chosen.toStdString())) return chosen;
    ShowErrorId(str::AviNoAudioStream, chosen.toStdString().c_str());
    start = chosen;
  }
}

}  // namespace lw
