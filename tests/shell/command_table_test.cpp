// The command table. Every command it enables runs on random documents through the engine
// functions the window's handlers call (fixed answers where a dialog would ask): the document
// stays sound, an edit leaves one undo step that gives back the document exactly and redoes it
// exactly, and a command the table enables does what it is there for. Then the rules the sweep
// cannot reach (no document, the view's own states) and the texts and layouts of the menus.
#include "shell/command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "base/preferences.h"
#include "base/strings.h"
#include "colour/optimize_trial.h"
#include "colour/palette_edit.h"
#include "colour/reduce_trial.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "edit/caption/text_layer.h"
#include "edit/crop_move.h"
#include "edit/properties.h"
#include "edit/resize.h"
#include "platform/clipboard.h"
#include "shell/accelerators.h"
#include "shell/clipboard_commands.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/geometry_commands.h"
#include "shell/layer_commands.h"
#include "shell/options_from_preferences.h"
#include "support/consistency.h"
#include "support/services.h"
#include "support/timeline.h"

namespace lw {
namespace {

// Acts: enabled on a document with frames, it always changes something. MayNot: it may find
// nothing to do; what it changes it can undo.
enum Kind : bool { MayNot, Acts };

struct Entry {
  int id;
  Kind kind;
  uint32_t (*run)(ShellState& s) = nullptr;  // none: one of the rotations
  Enable rule = Enable::Always;              // for the edits that are no row of the table
};

Animation& Doc(ShellState& s) { return *s.document; }
Frame* Current(ShellState& s) { return FrameAt(*s.document, s.currentFrame); }

uint32_t Resize(ShellState& s, bool whole) {
  Frame* f = Current(s);
  const uint32_t w = whole ? Doc(s).screenWidth : f->width;
  const uint32_t h = whole ? Doc(s).screenHeight : f->height;
  return ApplyResize({&Doc(s), s.currentFrame, whole, w, h, w + 3, h > 1 ? h - 1 : 2, false}, whole,
                     nullptr);
}

// The frame one column right, its first column cut off, as the move/crop view would leave it.
uint32_t MoveCrop(ShellState& s) {
  Frame* f = Current(s);
  auto i = [](uint32_t v) { return static_cast<int32_t>(v); };
  MoveCropState m{
      f->left + 1, f->top, i(f->width), i(f->height), i(Doc(s).screenWidth), i(Doc(s).screenHeight),
      1,           0,      i(f->width), i(f->height)};
  ConstrainMoveCrop(&m);
  return MoveCropFrames(Doc(s), s.currentFrame, m);
}

uint32_t Properties(ShellState& s, FrameScope scope) {
  FramePropertiesRequest r = FillFrameRequest(Doc(s), scope, s.currentFrame);
  r.delay = static_cast<int64_t>(Current(s) ? Current(s)->delay : 0) + 7;
  r.disposal = 2;
  return ApplyFrameProperties(nullptr, Doc(s), r).hints;
}

// Entry 0 of the palette turned into another colour.
uint32_t EditPalette(ShellState& s, int frame) {
  const Palette* p = frame < 0 ? Doc(s).globalPalette.get() : Current(s)->localPalette.get();
  std::vector<PaletteEntry> entries = p->entries;
  entries[0].red ^= 0x55;
  return ApplyPaletteEdit(Doc(s), frame, entries);
}

// The next index becomes the transparent one, the pixels of the index after it merged into it.
uint32_t ChooseTransparency(ShellState& s) {
  const int n = Current(s)->palette->Count(), next = (Current(s)->transparentIndex + 1) % n;
  TransparencyChoice c = TransparencyChoice::OfFrame(Current(s));
  c.count = 2;
  c.indexes[0] = static_cast<uint8_t>(next);
  c.indexes[1] = static_cast<uint8_t>((next + 1) % n);
  return ApplyTransparencyEdit(Doc(s), s.currentFrame, c);
}

// A caption in the middle of the screen, with an outline, on every frame or on the selected ones
// fading in; or the first frame's picture at half strength in the top left corner. Either may
// make the frames rebuilt whole, or grow the global palette.
uint32_t LayOver(ShellState& s, bool text, bool selected) {
  Layer layer;
  LayerOptions options;
  if (text) {
    TextStyle style;
    style.text = "Été";
    style.size = 12;
    style.colour = 0x3366CC;
    style.outlineWidth = 1;
    std::string detail;
    if (RenderText(style, &layer, &detail) != 0) return 0;
    options.place.anchor = Anchor::Center;
  } else {
    if (!LayerFromFrame(*FrameAt(Doc(s), 0), &layer)) return 0;
    options.place.anchor = Anchor::TopLeft;
    options.place.margin = 0;
    options.opacity = 50;
  }
  if (selected) {
    for (const Frame* f = FirstFrame(Doc(s)); f; f = NextFrame(f))
      options.frames.push_back(f->selected != 0);
    options.fadeIn = 1;
  }
  uint32_t hints = 0;
  LayOverCommand(Doc(s), layer, options, nullptr, nullptr, &hints);
  return hints;
}

using S = ShellState;
// clang-format off
const Entry kEntries[] = {
    {cmd::Delete, Acts, DeleteFramesCommand}, {cmd::Cut, Acts, CutCommand},
    {cmd::Copy, MayNot, CopyCommand}, {cmd::Paste, Acts, PasteCommand},
    {cmd::FrameProperties, Acts, [](S& s) {
       return Properties(s, Doc(s).selectedCount > 1 ? FrameScope::Selected
                                                      : FrameScope::Current); }},
    {cmd::GlobalFrameProperties, Acts, [](S& s) { return Properties(s, FrameScope::All); }},
    {cmd::AnimationProperties, Acts, [](S& s) {
       AnimationPropertiesRequest r = FillAnimationRequest(Doc(s));
       r.loopCount = (r.loopCount + 1) % 65536;
       return ApplyAnimationProperties(Doc(s), r).hints; }},
    {cmd::EditLocalPalette, Acts, [](S& s) { return EditPalette(s, s.currentFrame); }},
    {cmd::EditGlobalPalette, Acts, [](S& s) { return EditPalette(s, -1); }},
    {cmd::EditPixels, Acts, [](S& s) {  // the top left pixel takes the next index
       std::vector<uint8_t> dib = Current(s)->dib;
       uint8_t old = 0;
       DibPixelIndex(dib, 0, 0, &old);
       SetDibPixelIndex(dib, 0, 0, static_cast<uint8_t>((old + 1) % Current(s)->palette->Count()));
       return ApplyPixelEdit(Doc(s), s.currentFrame, dib); }},
    {cmd::MoveCrop, MayNot, MoveCrop},
    {cmd::ResizeFrames, Acts, [](S& s) { return Resize(s, false); }},
    {cmd::ResizeAnimation, Acts, [](S& s) { return Resize(s, true); }},
    {cmd::FrameRotate90Cw, Acts}, {cmd::FrameRotate180, Acts},
    {cmd::FrameRotate90Ccw, Acts}, {cmd::FrameFlipHorizontal, Acts},
    {cmd::FrameFlipVertical, Acts}, {cmd::AnimationRotate90Cw, Acts},
    {cmd::AnimationRotate180, Acts}, {cmd::AnimationRotate90Ccw, Acts},
    {cmd::AnimationFlipHorizontal, Acts}, {cmd::AnimationFlipVertical, Acts},
    {cmd::ReduceColours, Acts, [](S& s) {
       AnimationPtr copy;
       MakeReducedCopy(Doc(s), 6, true, nullptr, nullptr, &copy);
       return KeepReducedCopy(Doc(s), std::move(copy)) ? AfterOptimize(s) : 0; }},
    {cmd::Optimize, MayNot, [](S& s) {
       AnimationPtr copy;
       int32_t size = -1;
       RunOptimizeTrial(Doc(s), OptimizeOptionsFromPreferences(optimize::Defaults), nullptr, &copy, &size);
       return KeepOptimizeTrial(Doc(s), std::move(copy), size, SaveSignatureFromPreferences()) ? AfterOptimize(s) : 0; }},
    {cmd::Unoptimize, MayNot, UnoptimizeCommand},
    {cmd::ReduceFrameCount, Acts, [](S& s) { return ReduceFrameCount(Doc(s), 2); }},
    {cmd::ReverseOrder, Acts, ReverseOrderCommand},
    {cmd::PingPong, Acts, PingPongCommand},
    {cmd::CropAnimation, Acts, [](S& s) {
       return CropAnimation(Doc(s), {1, 0, Doc(s).screenWidth - 1, Doc(s).screenHeight}); }},
    {cmd::GifComments, Acts, [](S& s) { return InsertComment(Doc(s), 0, "ici") ? 1u : 0u; }},
    {cmd::ToggleTransparency, Acts, [](S& s) {
       if (Current(s)->Transparent()) return TransparencyOff(Doc(s), s.currentFrame);
       return ChooseTransparency(s); }},
    {cmd::ChooseTransparentColour, Acts, ChooseTransparency},
    {cmd::LocalPalettePresent, Acts,
     [](S& s) { return RemoveLocalPaletteEdit(Doc(s), s.currentFrame, {}, nullptr); }},
    {cmd::DisposalLeave, Acts, [](S& s) { return SetDisposalCommand(s, 1); }},
    {cmd::DisposalRestoreBackground, Acts, [](S& s) { return SetDisposalCommand(s, 2); }},
    {cmd::DisposalRestorePrevious, Acts, [](S& s) { return SetDisposalCommand(s, 3); }},
    {cmd::Has24BitData, Acts, ToggleTrueColourCommand},
    {cmd::FrameAddText, Acts, [](S& s) { return LayOver(s, true, true); }},
    {cmd::AnimationAddText, Acts, [](S& s) { return LayOver(s, true, false); }},
    {cmd::FrameAddImage, MayNot, [](S& s) { return LayOver(s, false, true); }},
    {cmd::AnimationAddImage, MayNot, [](S& s) { return LayOver(s, false, false); }},
    // The strip's drag, which is no row of the table.
    {cmd::FrameList, MayNot, [](S& s) {
       return MoveFramesCommand(s, (s.currentFrame + 2) % (Doc(s).frameCount + 1)); },
     Enable::Current},
};

// The rows that change no document here, and why; the checkable settings of the view aside.
const std::pair<const char*, std::vector<int>> kSkipped[] = {
    {"reads or writes files: the format and flow tests",
     {cmd::FileOpen, cmd::ImportAvi, cmd::ImportBmp, cmd::ImportJpeg, cmd::ImportStrip,
      cmd::ImportPsd, cmd::ImportPng, cmd::ImportIcon, cmd::ImportCursor, cmd::ImportAnimatedCursor,
      cmd::ImportVideo, cmd::ImportWebp, cmd::ImportApng,
      cmd::InsertFrames, cmd::MergeWith, cmd::FileSave, cmd::FileSaveAs, cmd::SaveGifAs,
      cmd::RevertToSaved}},
    {"closes the document or the window, shows text; the sweep undoes and redoes itself",
     {cmd::NewAnimation, cmd::Exit, cmd::HtmlCode, cmd::Undo, cmd::Redo}},
    {"another program edits the frames",
     {cmd::LiveEditFrame, cmd::LiveEditAnimation, cmd::EndLiveEdit}},
    {"the selection alone, or the preview's own duration editor",
     {cmd::SelectAll, cmd::InvertSelection, cmd::Duration}},
    {"the view, the settings or help",
     {cmd::Preferences, cmd::StopPreview, cmd::PreviewSelected, cmd::ZoomIn, cmd::ZoomOut,
      cmd::ActualSize, cmd::HelpContents, cmd::Tutorial, cmd::About}},
    {"records the screen: the recorder's tests on a private X server", {cmd::RecordScreen}},
};
// clang-format on

// A random document: one frame, several or none, local palettes or not, a comment, 24-bit data
// on a frame, interlacing, and a random selection whose first frame is current.
ShellState RandomState(uint32_t seed) {
  std::mt19937 rng(seed);
  ShellState s;
  s.document = test::RandomAnimation(seed, seed % 2 == 0);
  Animation& a = *s.document;
  if (const int shape = seed / 2 % 8; shape >= 6) {  // a single frame, or none at all
    for (int i = shape == 6 ? 1 : 0; i < a.frameCount; ++i) FrameAt(a, i)->selected = 1;
    RecountSelection(a);
    DeleteSelectedFrames(a);
  }
  if (rng() % 2) InsertComment(a, 0, "note");  // in front, where the program's signature goes
  if (Frame* f = FrameAt(a, static_cast<int>(rng() % 8)); f && rng() % 2) AddRgbPlane(f);
  if (Frame* f = FrameAt(a, static_cast<int>(rng() % 8))) SetInterlaced(f, true);
  for (int i = 0; i < a.frameCount; ++i)
    if (rng() % 3 == 0) SelectFrame(a, i, selmode::Toggle);
  s.currentFrame = FirstSelectedFrame(a) ? FrameIndex(a, FirstSelectedFrame(a)) : -1;
  return s;
}

// What the window reads to enable its commands; the 24-bit button is shown.
DocumentFacts FactsOf(const ShellState& s) {
  const Frame* current = FrameAt(*s.document, s.currentFrame);
  return {.document = true,
          .frameCount = s.document->frameCount,
          .currentFrame = s.currentFrame,
          .selectedCount = static_cast<int>(s.document->selectedCount),
          .currentHasLocalPalette = current && current->localPalette,
          .globalPalette = s.document->globalPalette != nullptr,
          .clipboardHasFrames = !SystemClipboard().Get(nullptr).frames.empty(),
          .keepTrueColour = true};
}

// The document without its selection, which undo does not give back: the window chooses it.
AnimationPtr Content(const Animation& a) {
  AnimationPtr copy = DuplicateAnimation(a, nullptr);
  for (Frame* f = FirstFrame(*copy); f; f = NextFrame(f)) f->selected = 0;
  copy->selectedCount = 0;
  copy->anchorIndex = -1;
  return copy;
}

TEST(CommandSweep, EnabledCommandsKeepTheDocumentSoundAndUndoExactly) {
  for (const CommandSpec& row : CommandTable()) {  // a new command fails here until it is swept
    int covered = row.check != Check::None;
    for (const auto& [why, ids] : kSkipped) covered += std::count(ids.begin(), ids.end(), row.id);
    for (const Entry& e : kEntries) covered += e.id == row.id;
    EXPECT_EQ(covered, 1) << "command " << row.id << " is not swept";
  }
  test::ServicesScope quiet;
  LoadPreferences();
  AnimationPtr clip = test::NumberedAnimation(2);  // frames on the clipboard: Paste is enabled
  SelectFrame(*clip, 1, selmode::Only);
  ASSERT_TRUE(CopyFrames(nullptr, *clip, 1));
  std::set<int> swept;
  for (uint32_t seed = 1; seed <= 32; ++seed) {
    const ShellState base = RandomState(seed);
    ASSERT_TRUE(test::Consistent(*base.document));
    const DocumentFacts facts = FactsOf(base);
    for (const Entry& e : kEntries) {
      const CommandSpec* row = FindCommand(e.id);
      if (row ? !CommandAvailable(*row, facts) : !CommandEnabled(e.rule, facts)) continue;
      SCOPED_TRACE(::testing::Message() << "seed " << seed << ", command " << e.id);
      swept.insert(e.id);
      ShellState s;
      s.document = DuplicateAnimation(*base.document, nullptr);
      s.currentFrame = base.currentFrame;
      Animation& doc = Doc(s);
      // The window asks whether 24-bit data may go before these open their dialog.
      const bool asks =
          e.id == cmd::Optimize || e.id == cmd::ReduceColours || e.id == cmd::Unoptimize;
      ASSERT_TRUE(!asks || PrepareOptimize(s));
      const AnimationPtr before = Content(doc);
      ClearHistory();
      const uint32_t hints = e.run ? e.run(s) : RunRotationCommand(doc, e.id, s.currentFrame, {});
      // These leave the selection for the window to count again; the others keep it right.
      const bool windowCounts =
          e.id == cmd::PingPong || e.id == cmd::ReduceFrameCount || e.id == cmd::Unoptimize;
      EXPECT_TRUE(windowCounts ? ::testing::AssertionSuccess() : test::Consistent(doc)) << "ran";
      // As the window takes the hints: a changed frame list has its selection counted again.
      if (hints & refresh::Document) {
        RecountSelection(doc);
        if ((hints & refresh::FrameCount) &&
            (!FirstSelectedFrame(doc) || s.currentFrame >= doc.frameCount))
          s.currentFrame = -1;
      }
      EXPECT_TRUE(test::Consistent(doc)) << "after the window's refresh";
      EXPECT_TRUE(s.currentFrame >= -1 && s.currentFrame < doc.frameCount) << s.currentFrame;
      const AnimationPtr after = Content(doc);
      const bool changed = !test::SameAnimation(*after, *before);
      const bool recorded = CanUndoKind() != UndoKind::None;
      EXPECT_TRUE(!e.kind || facts.frameCount == 0 || hints) << "enabled, did nothing";
      if (!changed && !recorded) continue;
      // Undo and redo as the window runs them, which then counts the selection again.
      ASSERT_NE(Undo(doc), 0u) << "changed, with no undo step";
      RecountSelection(doc);
      EXPECT_TRUE(test::Consistent(doc)) << "after undo";
      EXPECT_TRUE(test::SameAnimation(*Content(doc), *before)) << "after undo";
      ASSERT_NE(Redo(doc), 0u);
      RecountSelection(doc);
      EXPECT_TRUE(test::SameAnimation(*Content(doc), *after)) << "after redo";
    }
  }
  ClearHistory();
  // Every edit met a document that enables it.
  for (const Entry& e : kEntries) EXPECT_TRUE(swept.count(e.id)) << "never enabled: " << e.id;
}

TEST(CommandRules, EachRuleAcrossTheDocumentStates) {
  // No document, an empty one, one frame and none current, frame 1 of 2 current, 3 of 5 selected.
  const DocumentFacts states[] = {
      {},
      {.document = true},
      {.document = true, .frameCount = 1},
      {.document = true, .frameCount = 2, .currentFrame = 1, .selectedCount = 1},
      {.document = true, .frameCount = 5, .currentFrame = 1, .selectedCount = 3}};
  const std::pair<Enable, std::vector<bool>> rules[] = {
      {Enable::Always, {true, true, true, true, true}},
      {Enable::Document, {false, true, true, true, true}},
      {Enable::Frames, {false, false, true, true, true}},
      {Enable::Current, {false, false, false, true, true}},
      {Enable::TwoFrames, {false, false, false, true, true}},
      {Enable::OneFrame, {false, false, false, true, false}},
  };
  for (const auto& [rule, enabled] : rules)
    for (size_t i = 0; i < std::size(states); ++i)
      EXPECT_EQ(CommandEnabled(rule, states[i]), enabled[i]) << static_cast<int>(rule) << " " << i;
}

TEST(CommandRules, FlagsLeftFromAClosedDocumentCountForNothing) {
  DocumentFacts stale;
  stale.modified = stale.hasPath = stale.canUndo = stale.canRedo = stale.globalPalette = true;
  stale.currentFrame = 0;
  stale.zoomLevel = 2;
  for (Enable rule : {Enable::Modified, Enable::Revertible, Enable::Undo, Enable::Redo,
                      Enable::GlobalPalette, Enable::Current, Enable::ZoomIn, Enable::ActualSize})
    EXPECT_FALSE(CommandEnabled(rule, stale)) << static_cast<int>(rule);
  DocumentFacts f{.document = true, .frameCount = 2, .currentFrame = 1, .modified = true};
  EXPECT_FALSE(CommandEnabled(Enable::Revertible, f));  // untitled: nothing to go back to
  f.hasPath = true;
  EXPECT_TRUE(CommandEnabled(Enable::Revertible, f));
  // The zoom stops at its ends.
  for (auto [level, in, out, actual] :
       {std::tuple{-4, true, false, true}, {0, true, true, false}, {3, false, true, true}}) {
    f.zoomLevel = level;
    EXPECT_TRUE(CommandEnabled(Enable::ZoomIn, f) == in &&
                CommandEnabled(Enable::ZoomOut, f) == out &&
                CommandEnabled(Enable::ActualSize, f) == actual)
        << level;
  }
}

TEST(CommandTable, EveryRowHasItsTextsAndEveryLayoutItsRows) {
  for (const CommandSpec& row : CommandTable()) {
    EXPECT_TRUE(row.labelId == 0 || !ResText(row.labelId).empty()) << row.id;
    EXPECT_TRUE(row.pendingHintId == 0 || !ResText(row.pendingHintId).empty()) << row.id;
  }
  for (auto layout :
       {MainMenuLayout(), MainToolbarLayout(), FrameMenuLayout(true), FrameMenuLayout(false)}) {
    int depth = 0;
    for (const MenuItem& item : layout) {
      depth += item.kind == Item::Submenu ? 1 : item.kind == Item::End ? -1 : 0;
      ASSERT_GE(depth, 0);
      EXPECT_TRUE(item.kind != Item::Submenu || !ResText(item.id).empty()) << item.id;
      // Every entry a menu shows has a label; toolbar buttons have a tooltip.
      EXPECT_TRUE(item.kind != Item::Command || !CommandTooltip(item.id).empty()) << item.id;
    }
    EXPECT_EQ(depth, 0);
  }
  for (const Accelerator& a : kAccelerators) EXPECT_NE(FindCommand(a.command), nullptr) << a.key;
  // A tooltip without a text of its own is the label without marks, blanks and dots.
  EXPECT_EQ(CommandTooltip(cmd::FileSaveAs), "Sauvegarder sous");
  EXPECT_EQ(CommandTooltip(cmd::RecentFileFirst), "");
}

}  // namespace
}  // namespace lw
