#include "shell/status_text.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(StatusTextTest, ThousandsGroupFromTheLeftWithANoBreakSpace) {
  const std::pair<int64_t, const char*> cases[] = {{0, "0"},
                                                   {999, "999"},
                                                   {1000, "1\u00A0000"},
                                                   {123456, "123\u00A0456"},
                                                   {1234567, "1\u00A0234\u00A0567"},
                                                   {-1234, "-1\u00A0234"}};
  for (auto [n, text] : cases) EXPECT_EQ(FormatThousands(n), text);
  EXPECT_EQ(FormatThousands(1234567, ","), "1,234,567");
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

// Six speeds: a seventh index reads nothing, never past the table.
TEST(StatusTextTest, SpeedTableEndsAfterSixEntries) {
  EXPECT_TRUE(ModemBitsPerSecond(6) == 0 && !ModemLabel(6) && !ModemLabel(-1));
  EXPECT_LT(DownloadSeconds(1000, 6), 0.0f);
  EXPECT_EQ(DownloadMenuText(6, 1000), "");
}

TEST(StatusTextTest, FileSizeAndMenuTexts) {
  EXPECT_EQ(StatusFileSizeText(1000, 1), "Fichier de : 1\u00A0000 octets  (0,3secs à 28,8K)");
  // No speed: no division by zero, the size alone.
  EXPECT_EQ(StatusFileSizeText(1000, 9), "Fichier de : 1\u00A0000 octets");
  EXPECT_EQ(DownloadMenuText(1, 1000), "28,8K :\t 0,3secs");
  EXPECT_EQ(DownloadMenuText(3, -1), "56K");
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
      {CheckDelayText, "", EditCheck::Empty, 0},
  };
  for (const Case& c : cases) {
    EditValue v = c.check(c.text);
    EXPECT_TRUE(v.check == c.want && (c.want == EditCheck::Empty || v.value == c.value)) << c.text;
  }
}

TEST(StatusTextTest, FrameTipLinesFollowTheBits) {
  // Frame #3, 40 x 30 at (-3, 5), 25/100 s, restore previous, transparent, 4 bits.
  FrameTipFacts f{2, 40, 30, -3, 5, 25, 3, false, true, false, 4};
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
