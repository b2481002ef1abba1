#include "platform/headless_services.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(HeadlessServices, IsTheDefaultAndComesBackWhenUninstalled) {
  HeadlessServices other;
  EXPECT_EQ(&Services(), &DefaultHeadlessServices());
  SetServices(&other);
  EXPECT_EQ(&Services(), &other);
  SetServices(nullptr);
  EXPECT_EQ(&Services(), &DefaultHeadlessServices());
  EXPECT_FALSE(Services().Interactive());
}

TEST(HeadlessServices, WritesCaptionAndTextToStandardError) {
  HeadlessServices services;
  testing::internal::CaptureStderr();
  services.MessageBox(nullptr, "Impossible d’ouvrir « a.gif ».", "Erreur", mb::Ok);
  services.MessageBox(nullptr, "Voulez-vous poursuivre?", "", mb::YesNo);
  services.SetEcho(false);
  services.MessageBox(nullptr, "tu", "", mb::Ok);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Erreur : Impossible d’ouvrir « a.gif ».\nVoulez-vous poursuivre?\n");
  EXPECT_EQ(services.Messages().size(), 3u);
  services.Reset();
  EXPECT_TRUE(services.Messages().empty());
}

TEST(HeadlessServices, DefaultAnswerIsTheBoxDefaultButton) {
  struct Case { int style, expected; };
  for (Case c : {Case{mb::Ok, answer::Ok}, Case{mb::OkCancel, answer::Ok},
                 Case{mb::YesNo | mb::IconExclamation, answer::Yes},
                 Case{mb::YesNoCancel | mb::DefButton3, answer::Cancel},
                 Case{mb::AbortRetryIgnore | mb::DefButton2, answer::Retry},
                 Case{mb::RetryCancel, answer::Retry},
                 Case{mb::Ok | mb::DefButton3, answer::Ok},  // no third button: the first
                 Case{0xE, answer::Ok}}) {                    // unknown buttons: an OK box
    HeadlessServices services;
    services.SetEcho(false);
    EXPECT_EQ(services.MessageBox(nullptr, "t", "c", c.style), c.expected) << c.style;
  }
}

TEST(HeadlessServices, EngineQuestionsTakeTheScriptThenTheStoredWord) {
  HeadlessServices services;
  services.QueuePaletteMergeAnswer(0);
  services.QueueOversizeInsertAnswer(7);
  EXPECT_EQ(services.PendingAnswers(), 2u);
  EXPECT_EQ(services.AskPaletteMerge(nullptr, 3), 0u);
  EXPECT_EQ(services.AskPaletteMerge(nullptr, 3), 3u);
  EXPECT_EQ(services.AskOversizeInsert(nullptr, 2), 7u);
  EXPECT_EQ(services.AskOversizeInsert(nullptr, 2), 2u);
  EXPECT_EQ(services.PendingAnswers(), 0u);
}

}  // namespace
}  // namespace lw
