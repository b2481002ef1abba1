// The button that shows a background colour and lets the user pick another one.
#pragma once

#include <QToolButton>
#include <cstdint>

namespace lw {

class ColourButton : public QToolButton {
  Q_OBJECT

 public:
  explicit ColourButton(QWidget* parent = nullptr);
  // 0x00BBGGRR, as the model keeps colours.
  uint32_t Colour() const { return colour_; }
  void SetColour(uint32_t colour);

  // The colour chooser; replaceable so that tests need no modal dialog. Returns false when the
  // user cancelled.
  using Chooser = bool (*)(QWidget* parent, uint32_t* colour);
  static void SetChooser(Chooser chooser);
  static bool ChooseColour(QWidget* parent, uint32_t* colour);

 signals:
  // The user chose a colour.
  void colourChosen(uint32_t colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Choose();
  uint32_t colour_ = 0;
};

// The colour a preview pane shows behind the picture: PrefPreviewBackground, or the window's
// button face when none is stored.
uint32_t PreviewBackgroundColour(const QWidget* widget);

}  // namespace lw
