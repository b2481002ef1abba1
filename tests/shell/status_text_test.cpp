#include "shell/status_text.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(StatusTextTest, ThousandsGroupFromTheLeftWithANoBreakSpace) {
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1000), "1\u00A0000");
  EXPECT_EQ(FormatThousands(123456), "123\u00A0456");
  EXPECT_EQ(FormatThousands(1234567), "1\u00A0234\u00A0567");
  EXPECT_EQ(FormatThousands(1234567, ","), "1,234,567");
  EXPECT_EQ(FormatThousands(-1234), "-1\u00A0234");
}

TEST(StatusTextTest, DownloadTimesRoundAtATenth) {
  // 8 000 bits at 28 800 bit/s.
  EXPECT_EQ(StatusDownloadTime(DownloadSeconds(1000, 1)), "0,3secs");
  EXPECT_EQ(StatusDownloadTime(DownloadSeconds(300, 5)), "< 0,1sec");
  // Exactly a tenth: the status bar shows it, the menu calls it small.
  EXPECT_EQ(StatusDownloadTime(DownloadSeconds(360, 1)), "0,1secs");
  EXPECT_EQ(MenuDownloadTime(DownloadSeconds(360, 1)), "< 0,1sec");
  EXPECT_EQ(StatusDownloadTime(DownloadSeconds(1000000, 0)), "555,6secs");
}

TEST(StatusTextTest, SpeedTableEndsAfterSixEntries) {
  EXPECT_EQ(ModemBitsPerSecond(0), 14400u);
  EXPECT_STREQ(ModemLabel(5), "128K");
  EXPECT_EQ(ModemBitsPerSecond(6), 0u);
  EXPECT_EQ(ModemLabel(6), nullptr);
  EXPECT_EQ(ModemLabel(-1), nullptr);
  EXPECT_LT(DownloadSeconds(1000, 6), 0.0f);
  EXPECT_EQ(DownloadMenuText(6, 1000), "");
}

TEST(StatusTextTest, FileSizeAndMenuTexts) {
  EXPECT_EQ(StatusFileSizeText(1000, 1), "Fichier de : 1\u00A0000 octets  (0,3secs à 28.8K)");
  // No speed: no division by zero, the size alone.
  EXPECT_EQ(StatusFileSizeText(1000, 9), "Fichier de : 1\u00A0000 octets");
  EXPECT_EQ(DownloadMenuText(1, 1000), "28.8K :\t 0,3secs");
  EXPECT_EQ(DownloadMenuText(3, -1), "56K");
}

TEST(StatusTextTest, StatusParts) {
  EXPECT_EQ(StatusFrameText(0, 12), "  Cadre #1 sur 12");
  EXPECT_EQ(StatusFrameText(-2, 12), "  Multiple de 12");
  EXPECT_EQ(StatusFrameText(-1, 12), "  Aucun des 12 cadres");
  EXPECT_EQ(StatusScreenSizeText(320, 200), "  320 × 200");
  EXPECT_EQ(StatusDurationText(125), "  1,25 secs");
  EXPECT_EQ(StatusDurationText(125, 10), "  12,50 secs");
  EXPECT_EQ(StatusZoomText(33), "  33%");
}

TEST(StatusTextTest, TitleAndFrameList) {
  EXPECT_EQ(DocumentTitle(""), "Sans nom - Loopwright");
  EXPECT_EQ(DocumentTitle("/home/a/balle.gif"), "balle.gif - Loopwright");
  EXPECT_EQ(DocumentTitle("balle.gif"), "balle.gif - Loopwright");
  EXPECT_EQ(FrameListEntry(0, "saut"), "#1: saut");
  EXPECT_EQ(FrameListEntry(9, ""), "#10: ");
}

TEST(StatusTextTest, DelayAndLoopEditsCheckTheirRanges) {
  struct Case {
    EditValue (*check)(const std::string&);
    const char* text;
    EditCheck want;
    uint32_t value;
  };
  const Case cases[] = {
      {CheckDelayText, "0", EditCheck::Valid, 0},
      {CheckDelayText, "65535", EditCheck::Valid, 65535},
      {CheckDelayText, "70000", EditCheck::OutOfRange, 65535},
      // Only nine characters are read: a huge number is still out of range, never wrapped.
      {CheckDelayText, "99999999999999999999", EditCheck::OutOfRange, 65535},
      {CheckLoopText, "65536", EditCheck::Valid, 65536},
      {CheckLoopText, "70000", EditCheck::OutOfRange, 0},
  };
  for (const Case& c : cases) {
    EditValue v = c.check(c.text);
    EXPECT_EQ(v.check, c.want) << c.text;
    EXPECT_EQ(v.value, c.value) << c.text;
  }
  EXPECT_EQ(CheckDelayText("").check, EditCheck::Empty);
}

TEST(StatusTextTest, FrameTipLinesFollowTheBits) {
  FrameTipFacts f;
  f.index = 2;
  f.width = 40;
  f.height = 30;
  f.left = -3;
  f.top = 5;
  f.delay = 25;
  f.disposal = 3;
  f.transparent = true;
  f.localPalette = false;
  f.bitCount = 4;
  EXPECT_EQ(FrameTipText(f, 0), "");
  EXPECT_EQ(FrameTipText(f, MaskOf(Pref::FrameTipNumber) | MaskOf(Pref::FrameTipSize)),
            "#3: \nTaille : 40 x 30");
  EXPECT_EQ(
      FrameTipText(f, 0x7FC),
      "#3: \nTaille : 40 x 30\nDécalage : (-3 , 5)\nDélai : 25/100 s\n"
      "Enlèvement : Retour cadre précédent\nTransparent\nPalette globale\nDécompte de bits : 4");
  f.trueColour = true;
  f.disposal = 1;
  EXPECT_EQ(FrameTipText(f, MaskOf(Pref::FrameTipDisposal) | MaskOf(Pref::FrameTipTransparency)),
            "Enlèvement : Laissez tel quel\nCanal alpha");
}

}  // namespace
}  // namespace lw
