#include "shell/command_table.h"

#include <gtest/gtest.h>

#include <set>

#include "base/strings.h"
#include "shell/accelerators.h"
#include "shell/command_ids.h"

namespace lw {
namespace {

// Situations the rules must tell apart.
DocumentFacts NoDocument() { return {}; }
DocumentFacts Empty() {
  DocumentFacts f;
  f.document = true;
  return f;
}
DocumentFacts OneFrameNoCurrent() {
  DocumentFacts f = Empty();
  f.frameCount = 1;
  return f;
}
DocumentFacts TwoFramesOneCurrent() {
  DocumentFacts f = Empty();
  f.frameCount = 2;
  f.currentFrame = 1;
  f.selectedCount = 1;
  return f;
}
DocumentFacts ThreeSelected() {
  DocumentFacts f = TwoFramesOneCurrent();
  f.frameCount = 5;
  f.selectedCount = 3;
  return f;
}

TEST(CommandRules, EachRuleAcrossTheDocumentStates) {
  struct Case {
    Enable rule;
    bool none, empty, oneNoCurrent, twoCurrent, threeSelected;
  };
  const Case cases[] = {
      {Enable::Always, true, true, true, true, true},
      {Enable::Document, false, true, true, true, true},
      {Enable::Frames, false, false, true, true, true},
      {Enable::Current, false, false, false, true, true},
      {Enable::TwoFrames, false, false, false, true, true},
      {Enable::OneFrame, false, false, false, true, false},
      {Enable::Modified, false, false, false, false, false},
      {Enable::Undo, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.rule));
    EXPECT_EQ(CommandEnabled(c.rule, NoDocument()), c.none);
    EXPECT_EQ(CommandEnabled(c.rule, Empty()), c.empty);
    EXPECT_EQ(CommandEnabled(c.rule, OneFrameNoCurrent()), c.oneNoCurrent);
    EXPECT_EQ(CommandEnabled(c.rule, TwoFramesOneCurrent()), c.twoCurrent);
    EXPECT_EQ(CommandEnabled(c.rule, ThreeSelected()), c.threeSelected);
  }
}

TEST(CommandRules, FlagsThatOnlyCountWithADocument) {
  DocumentFacts stale;  // flags left over from a closed document
  stale.modified = stale.hasPath = stale.canUndo = stale.canRedo = stale.globalPalette = true;
  stale.currentFrame = 0;
  stale.zoomLevel = 2;
  for (Enable rule : {Enable::Modified, Enable::Revertible, Enable::Undo, Enable::Redo,
                      Enable::GlobalPalette, Enable::Current, Enable::ZoomIn, Enable::ActualSize})
    EXPECT_FALSE(CommandEnabled(rule, stale)) << static_cast<int>(rule);

  DocumentFacts f = TwoFramesOneCurrent();
  f.modified = true;
  EXPECT_TRUE(CommandEnabled(Enable::Modified, f));
  EXPECT_FALSE(CommandEnabled(Enable::Revertible, f));  // untitled: nothing to go back to
  f.hasPath = true;
  EXPECT_TRUE(CommandEnabled(Enable::Revertible, f));
  // The zoom stops at its ends.
  struct Zoom {
    int level;
    bool in, out, actual;
  };
  for (Zoom z :
       {Zoom{-4, true, false, true}, Zoom{0, true, true, false}, Zoom{3, false, true, true}}) {
    f.zoomLevel = z.level;
    EXPECT_EQ(CommandEnabled(Enable::ZoomIn, f), z.in) << z.level;
    EXPECT_EQ(CommandEnabled(Enable::ZoomOut, f), z.out) << z.level;
    EXPECT_EQ(CommandEnabled(Enable::ActualSize, f), z.actual) << z.level;
  }
  // 24-bit data and local palettes on the toolbar need one frame alone.
  f.keepTrueColour = f.currentHasLocalPalette = true;
  EXPECT_TRUE(CommandEnabled(Enable::OneFrameTrueColour, f));
  EXPECT_TRUE(CommandEnabled(Enable::OneFrameLocalPalette, f));
  EXPECT_TRUE(CommandEnabled(Enable::LocalPalette, f));
  f.selectedCount = 2;
  EXPECT_FALSE(CommandEnabled(Enable::OneFrameTrueColour, f));
  EXPECT_FALSE(CommandEnabled(Enable::OneFrameLocalPalette, f));
  EXPECT_TRUE(CommandEnabled(Enable::LocalPalette, f));
}

TEST(CommandTable, CheckedStatesFollowTheirSetting) {
  DocumentFacts f = TwoFramesOneCurrent();
  f.zoomLevel = -2;
  f.orientation = 0x1001;
  f.transparencyMode = 2;
  f.modemSpeed = 3;
  f.previewOpen = true;
  f.frameTips = false;
  std::set<int> checked;
  for (const CommandSpec& row : CommandTable())
    if (CommandChecked(row, f)) checked.insert(row.id);
  EXPECT_EQ(checked, (std::set<int>{cmd::ZoomLevelFirst + 2, cmd::OrientationVertical,
                                    cmd::TransparencyAsCustom, cmd::DownloadTimeFirst + 3,
                                    cmd::Preview, cmd::ShowPropertiesBar}));
}

TEST(CommandTable, EveryRowHasItsTextsAndEveryLayoutItsRows) {
  for (const CommandSpec& row : CommandTable()) {
    SCOPED_TRACE(row.id);
    EXPECT_TRUE(row.labelId == 0 || !ResText(row.labelId).empty());
    EXPECT_TRUE(row.pendingHintId == 0 || !ResText(row.pendingHintId).empty());
    EXPECT_TRUE(row.check == Check::None || row.checkable);
  }
  int menus = 0;
  for (auto layout :
       {MainMenuLayout(), MainToolbarLayout(), FrameMenuLayout(true), FrameMenuLayout(false)}) {
    int depth = 0;
    for (const MenuItem& item : layout) {
      if (item.kind == Item::Submenu) {
        ++depth;
        ++menus;
        EXPECT_FALSE(ResText(item.id).empty()) << item.id;
      }
      if (item.kind == Item::End) --depth;
      ASSERT_GE(depth, 0);
      // Every entry a menu shows has a label; toolbar buttons have a tooltip.
      EXPECT_TRUE(item.kind != Item::Command || !CommandTooltip(item.id).empty()) << item.id;
    }
    EXPECT_EQ(depth, 0);
  }
  EXPECT_EQ(menus, 6 + 8 + 1);  // the menu bar, its submenus, the context menu's Pivoter
  for (const Accelerator& a : kAccelerators) EXPECT_NE(FindCommand(a.command), nullptr) << a.key;
}

TEST(CommandTable, TooltipsComeFromTheTableOrTheLabel) {
  EXPECT_EQ(CommandTooltip(cmd::FileOpen), "Ouvrir fichier d'animation");  // its own text
  EXPECT_EQ(CommandTooltip(cmd::StopPreview), "Arrêter l’aperçu");
  EXPECT_EQ(CommandTooltip(cmd::FileSaveAs), "Sauvegarder sous");  // marks, blanks and dots go
  EXPECT_EQ(CommandLabel(cmd::FileSaveAs), " Sauvegarder &sous...");
  EXPECT_EQ(CommandTooltip(12345), "");
  EXPECT_EQ(FindCommand(cmd::RecentFileFirst), nullptr);
}

}  // namespace
}  // namespace lw
