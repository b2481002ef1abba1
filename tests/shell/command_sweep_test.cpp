// Every command the table enables, run on random documents through the engine functions the
// window's handlers call (fixed answers where a dialog would ask): the document stays sound,
// an edit leaves one undo step that gives back the document exactly and redoes it exactly, and
// a command the table enables does what it is there for.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "base/preferences.h"
#include "colour/optimize_trial.h"
#include "colour/palette_edit.h"
#include "colour/reduce_trial.h"
#include "core/compose.h"
#include "core/undo.h"
#include "edit/crop_move.h"
#include "edit/durations.h"
#include "edit/properties.h"
#include "edit/resize.h"
#include "platform/clipboard.h"
#include "shell/clipboard_commands.h"
#include "shell/command_ids.h"
#include "shell/command_table.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/geometry_commands.h"
#include "support/consistency.h"
#include "support/services.h"
#include "support/timeline.h"

namespace lw {
namespace {

using test::Consistent;

enum class Kind {
  Acts,       // enabled on a document with frames, it always changes something
  Edit,       // may find nothing to do; what it changes it can undo
  Selection,  // changes the selection alone, which is no undo step
  Reads,      // leaves the document as it was
};

struct Entry {
  int id;
  Kind kind;
  uint32_t (*run)(ShellState& s);
  Enable rule = Enable::Always;  // for the edits that are no row of the table
};

Animation& Doc(ShellState& s) { return *s.document; }
Frame* Current(ShellState& s) { return FrameAt(*s.document, s.currentFrame); }

uint32_t Rotation(ShellState& s, int id) {
  return RunRotationCommand(Doc(s), id, s.currentFrame, nullptr);
}

uint32_t Resize(ShellState& s, bool whole) {
  Frame* f = Current(s);
  ResizeRequest r{s.document.get(), s.currentFrame, whole, 0, 0, 0, 0, false};
  r.oldWidth = whole ? Doc(s).screenWidth : f->width;
  r.oldHeight = whole ? Doc(s).screenHeight : f->height;
  r.newWidth = r.oldWidth + 3;
  r.newHeight = r.oldHeight > 1 ? r.oldHeight - 1 : 2;
  return ApplyResize(r, whole, nullptr);
}

// The frame one column right, its first column cut off, as the move/crop view would leave it.
uint32_t MoveCrop(ShellState& s) {
  Frame* f = Current(s);
  const int32_t w = static_cast<int32_t>(f->width), h = static_cast<int32_t>(f->height);
  MoveCropState m{f->left + 1, f->top, w, h, static_cast<int32_t>(Doc(s).screenWidth),
                  static_cast<int32_t>(Doc(s).screenHeight), w > 1 ? 1 : 0, 0, w, h};
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

// The top left pixel takes the next index.
uint32_t EditPixels(ShellState& s) {
  Frame* f = Current(s);
  std::vector<uint8_t> dib = f->dib;
  uint8_t old = 0;
  DibPixelIndex(dib, 0, 0, &old);
  SetDibPixelIndex(dib, 0, 0, static_cast<uint8_t>((old + 1) % f->palette->Count()));
  return ApplyPixelEdit(Doc(s), s.currentFrame, dib);
}
// Another transparent index, and the pixels of the index after it merged into it.
uint32_t ChooseTransparency(ShellState& s) {
  Frame* f = Current(s);
  const int n = f->palette->Count();
  TransparencyChoice c = TransparencyChoice::OfFrame(f);
  c.count = 2;
  c.indexes[0] = static_cast<uint8_t>(f->Transparent() ? (f->transparentIndex + 1) % n : n - 1);
  c.indexes[1] = static_cast<uint8_t>((c.indexes[0] + 1) % n);
  return ApplyTransparencyEdit(Doc(s), s.currentFrame, c);
}

uint32_t Optimize(ShellState& s) {
  AnimationPtr copy;
  int32_t size = -1;
  RunOptimizeTrial(Doc(s), optimize::Defaults, nullptr, &copy, &size);
  return KeepOptimizeTrial(Doc(s), std::move(copy), size) ? AfterOptimize(s) : 0;
}
uint32_t ReduceColours(ShellState& s) {
  AnimationPtr copy;
  if (!MakeReducedCopy(Doc(s), 6, true, nullptr, nullptr, &copy)) return 0;
  return KeepReducedCopy(Doc(s), std::move(copy)) ? AfterOptimize(s) : 0;
}

// The duration editor adds a tenth of a second to every frame in one step.
uint32_t Durations(ShellState& s) {
  DelayTable table = LoadDelayTable(Doc(s));
  ApplyDurationOperation(table, DurationOperation::Add, 10);
  RecordUndo(undo::EditDurations, Doc(s), nullptr, nullptr, 0);
  WriteDelayTable(Doc(s), table);
  return refresh::Preview;
}

#define ROT(id) {id, Kind::Acts, [](ShellState& s) { return Rotation(s, id); }}
const Entry kEntries[] = {
    {cmd::Delete, Kind::Acts, DeleteFramesCommand},
    {cmd::Cut, Kind::Acts, CutCommand},
    {cmd::Copy, Kind::Reads, CopyCommand},
    {cmd::Paste, Kind::Acts, PasteCommand},
    {cmd::SelectAll, Kind::Selection,
     [](ShellState& s) {
       SelectFrame(Doc(s), 0, selmode::Only);
       s.currentFrame = SelectFrame(Doc(s), Doc(s).frameCount - 1, selmode::Extend);
       return 1u;
     }},
    {cmd::InvertSelection, Kind::Selection,
     [](ShellState& s) {
       for (int i = 0; i < Doc(s).frameCount; ++i) SelectFrame(Doc(s), i, selmode::Toggle);
       Frame* first = FirstSelectedFrame(Doc(s));
       s.currentFrame = first ? FrameIndex(Doc(s), first) : -1;
       return 1u;
     }},
    {cmd::FrameProperties, Kind::Acts,
     [](ShellState& s) {
       return Properties(s, Doc(s).selectedCount > 1 ? FrameScope::Selected : FrameScope::Current);
     }},
    {cmd::GlobalFrameProperties, Kind::Acts,
     [](ShellState& s) { return Properties(s, FrameScope::All); }},
    {cmd::EditLocalPalette, Kind::Acts, [](ShellState& s) { return EditPalette(s, s.currentFrame); }},
    {cmd::MoveCrop, Kind::Edit, MoveCrop},
    {cmd::ResizeFrames, Kind::Acts, [](ShellState& s) { return Resize(s, false); }},
    ROT(cmd::FrameRotate90Cw), ROT(cmd::FrameRotate180), ROT(cmd::FrameRotate90Ccw),
    ROT(cmd::FrameFlipHorizontal), ROT(cmd::FrameFlipVertical),
    {cmd::EditPixels, Kind::Acts, EditPixels},
    {cmd::AnimationProperties, Kind::Acts,
     [](ShellState& s) {
       AnimationPropertiesRequest r = FillAnimationRequest(Doc(s));
       r.loopCount = (r.loopCount + 1) % 65536;
       return ApplyAnimationProperties(Doc(s), r).hints;
     }},
    {cmd::EditGlobalPalette, Kind::Acts, [](ShellState& s) { return EditPalette(s, -1); }},
    {cmd::ResizeAnimation, Kind::Acts, [](ShellState& s) { return Resize(s, true); }},
    ROT(cmd::AnimationRotate90Cw), ROT(cmd::AnimationRotate180), ROT(cmd::AnimationRotate90Ccw),
    ROT(cmd::AnimationFlipHorizontal), ROT(cmd::AnimationFlipVertical),
    {cmd::Duration, Kind::Acts, Durations},
    {cmd::ReduceColours, Kind::Acts, ReduceColours},
    {cmd::Optimize, Kind::Edit, Optimize},
    {cmd::Unoptimize, Kind::Edit, UnoptimizeCommand},
    {cmd::ReduceFrameCount, Kind::Acts, [](ShellState& s) { return ReduceFrameCount(Doc(s), 2); }},
    {cmd::ReverseOrder, Kind::Acts, ReverseOrderCommand},
    {cmd::PingPong, Kind::Acts, PingPongCommand},
    {cmd::CropAnimation, Kind::Acts,
     [](ShellState& s) {
       return CropAnimation(Doc(s), {1, 0, Doc(s).screenWidth - 1, Doc(s).screenHeight});
     }},
    {cmd::GifComments, Kind::Acts,
     [](ShellState& s) { return InsertComment(Doc(s), 0, "balayage") ? 1u : 0u; }},
    {cmd::ToggleTransparency, Kind::Acts,
     [](ShellState& s) {
       if (Current(s)->Transparent()) return TransparencyOff(Doc(s), s.currentFrame);
       return ChooseTransparency(s);
     }},
    {cmd::ChooseTransparentColour, Kind::Acts, ChooseTransparency},
    {cmd::LocalPalettePresent, Kind::Acts,
     [](ShellState& s) { return RemoveLocalPaletteEdit(Doc(s), s.currentFrame, nullptr); }},
    {cmd::DisposalLeave, Kind::Acts, [](ShellState& s) { return SetDisposalCommand(s, 1); }},
    {cmd::DisposalRestoreBackground, Kind::Acts,
     [](ShellState& s) { return SetDisposalCommand(s, 2); }},
    {cmd::DisposalRestorePrevious, Kind::Acts,
     [](ShellState& s) { return SetDisposalCommand(s, 3); }},
    {cmd::Has24BitData, Kind::Acts, ToggleTrueColourCommand},
    // The strip's drag and the properties bar's fields, which are no rows of the table.
    {cmd::FrameList, Kind::Edit,
     [](ShellState& s) { return MoveFramesCommand(s, (s.currentFrame + 2) % (Doc(s).frameCount + 1)); },
     Enable::Current},
    {cmd::DelayEdit, Kind::Acts,
     [](ShellState& s) { return SetDelayCommand(s, Current(s)->delay + 1); }, Enable::Current},
    {cmd::LoopCountEdit, Kind::Acts,
     [](ShellState& s) {
       return SetLoopCountCommand(s, (Doc(s).playCount + 1) % 65536) ? 1u : 0u;
     },
     Enable::Document},
};
#undef ROT

// The rows that change no document here, and why.
struct Skipped {
  int first, last;
  const char* why;
};
const Skipped kSkipped[] = {
    {cmd::FileOpen, cmd::FileOpen, "opens a file: the open flow's tests"},
    {cmd::ImportAvi, cmd::ImportJpeg, "imports a file: the format tests"},
    {cmd::ImportAnimatedCursor, cmd::ImportAnimatedCursor, "imports a file: the format tests"},
    {cmd::ImportIcon, cmd::ImportIcon, "imports a file: the format tests"},
    {cmd::ImportCursor, cmd::ImportCursor, "imports a file: the format tests"},
    {cmd::ImportPng, cmd::ImportPng, "imports a file: the format tests"},
    {cmd::InsertFrames, cmd::InsertFrames, "inserts files: the insert flow's tests"},
    {cmd::MergeWith, cmd::MergeWith, "merges a file: the merge flow's tests"},
    {cmd::FileSave, cmd::FileSaveAs, "writes a file: the save flow's tests"},
    {cmd::SaveGifAs, cmd::SaveGifAs, "writes a file: the save flow's tests"},
    {cmd::RevertToSaved, cmd::RevertToSaved, "reads the file again: the open flow's tests"},
    {cmd::NewAnimation, cmd::NewAnimation, "closes the document"},
    {cmd::HtmlCode, cmd::HtmlCode, "shows text for a web page, changes nothing"},
    {cmd::Exit, cmd::Exit, "closes the window"},
    {cmd::Undo, cmd::Undo, "the sweep undoes every edit itself"},
    {cmd::Redo, cmd::Redo, "the sweep redoes every edit itself"},
    {cmd::Preferences, cmd::Preferences, "settings only"},
    {cmd::LiveEditAnimation, cmd::LiveEditFrame, "another program edits the frames"},
    {cmd::EndLiveEdit, cmd::EndLiveEdit, "another program edits the frames"},
    {cmd::Preview, cmd::Preview, "view"},
    {cmd::StopPreview, cmd::StopPreview, "view"},
    {cmd::PreviewSelected, cmd::PreviewSelected, "view"},
    {cmd::ShowPropertiesBar, cmd::ShowPropertiesBar, "view"},
    {cmd::FrameTips, cmd::FrameTips, "view"},
    {cmd::ZoomIn, cmd::ZoomOut, "view"},
    {cmd::ActualSize, cmd::ActualSize, "view"},
    {cmd::ZoomLevelFirst, cmd::ZoomLevelLast, "view"},
    {cmd::OrientationAuto, cmd::OrientationVertical, "view"},
    {cmd::TransparencyAsWindow, cmd::TransparencyAsCustom, "how transparent pixels are shown"},
    {cmd::DownloadTimeFirst, cmd::DownloadTimeLast, "view"},
    {cmd::HelpContents, cmd::HelpContents, "help"},
    {cmd::Tutorial, cmd::Tutorial, "help"},
    {cmd::About, cmd::About, "help"},
};

const Entry* EntryOf(int id) {
  for (const Entry& e : kEntries)
    if (e.id == id) return &e;
  return nullptr;
}

TEST(CommandSweep, EveryRowIsSweptOrSkippedForAReason) {
  for (const CommandSpec& row : CommandTable()) {
    int skips = 0;
    for (const Skipped& k : kSkipped) skips += row.id >= k.first && row.id <= k.last;
    EXPECT_EQ(skips + (EntryOf(row.id) ? 1 : 0), 1) << "command " << row.id << " not swept";
  }
}

DocumentFacts FactsOf(const ShellState& s) {
  DocumentFacts f;
  const Animation& a = *s.document;
  const Frame* current = FrameAt(a, s.currentFrame);
  f.document = true;
  f.frameCount = a.frameCount;
  f.currentFrame = s.currentFrame;
  f.selectedCount = static_cast<int>(a.selectedCount);
  f.modified = s.modified;
  f.currentHasLocalPalette = current && current->localPalette;
  f.globalPalette = a.globalPalette != nullptr;
  f.clipboardHasFrames = !SystemClipboard().Get(nullptr).frames.empty();
  f.keepTrueColour = PrefOn(Pref::KeepTrueColor);
  return f;
}

// A random document: one frame, several or none, local palettes or not, a comment, 24-bit data
// on a frame, interlacing, and a random selection whose first frame is current.
ShellState RandomState(uint32_t seed) {
  std::mt19937 rng(seed);
  ShellState s;
  s.document = test::RandomAnimation(seed, seed % 2 == 0);
  Animation& a = *s.document;
  const int shape = static_cast<int>(seed / 2 % 8);
  if (shape >= 6) {  // a single frame, or none at all
    for (int i = shape == 6 ? 1 : 0; i < a.frameCount; ++i) FrameAt(a, i)->selected = 1;
    RecountSelection(a);
    DeleteSelectedFrames(a);
  }
  if (rng() % 2) {
    // A comment in front, as the program's signature goes: undo puts the frames of a document
    // emptied back after its last block.
    auto* comment = static_cast<ExtensionBlock*>(NewBlock(BlockKind::Comment, 0));
    SetCommentText(comment, "note");
    InsertBlockAfter(a.blocks, comment);
  }
  if (Frame* f = FrameAt(a, static_cast<int>(rng() % 8)); f && rng() % 2) AddRgbPlane(f);
  if (Frame* f = FrameAt(a, static_cast<int>(rng() % 8))) SetInterlaced(f, true);
  for (int i = 0; i < a.frameCount; ++i)
    if (rng() % 3 == 0) SelectFrame(a, i, selmode::Toggle);
  Frame* first = FirstSelectedFrame(a);
  s.currentFrame = first ? FrameIndex(a, first) : -1;
  SetPrefOn(Pref::KeepTrueColor, rng() % 2);
  return s;
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
  test::ServicesScope quiet;
  const bool keepTrueColour = PrefOn(Pref::KeepTrueColor);
  {
    // Frames on the clipboard, so that Paste is enabled.
    ShellState source;
    source.document = test::NumberedAnimation(2);
    source.currentFrame = 1;
    SelectFrame(*source.document, 1, selmode::Only);
    ASSERT_EQ(CopyCommand(source), 0u);
  }
  std::set<int> swept;
  for (uint32_t seed = 1; seed <= 32; ++seed) {
    const ShellState base = RandomState(seed);
    ASSERT_TRUE(Consistent(*base.document));
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
      if (e.id == cmd::Optimize || e.id == cmd::ReduceColours || e.id == cmd::Unoptimize) {
        ASSERT_TRUE(PrepareOptimize(s));
      }
      const AnimationPtr before = Content(doc);
      ClearHistory();
      const uint32_t hints = e.run(s);
      // These leave the selection for the window to count again; the others keep it right.
      const bool windowCounts =
          e.id == cmd::PingPong || e.id == cmd::ReduceFrameCount || e.id == cmd::Unoptimize;
      if (!windowCounts) {
        EXPECT_TRUE(Consistent(doc)) << "after the command";
      }
      // As the window takes the hints: a changed frame list has its selection counted again.
      if (hints & refresh::Document) {
        RecountSelection(doc);
        if ((hints & refresh::FrameCount) &&
            (!FirstSelectedFrame(doc) || s.currentFrame >= doc.frameCount))
          s.currentFrame = -1;
      }
      if (windowCounts) {
        EXPECT_TRUE(Consistent(doc)) << "after the command";
      }
      EXPECT_GE(s.currentFrame, -1);
      EXPECT_LT(s.currentFrame, doc.frameCount);
      const AnimationPtr after = Content(doc);
      const bool changed = !test::SameAnimation(*after, *before);
      const bool recorded = CanUndoKind() != 0;
      if (e.kind == Kind::Acts && facts.frameCount > 0) {
        EXPECT_NE(hints, 0u) << "enabled, but it did nothing";
      }
      if (e.kind == Kind::Reads) {
        EXPECT_FALSE(changed) << "the document changed";
      }
      if (e.kind == Kind::Selection) {
        EXPECT_FALSE(recorded) << "a selection is no undo step";
      }
      if (e.kind == Kind::Selection || !(changed || recorded)) continue;
      // Undo and redo as the window runs them, which then counts the selection again.
      ASSERT_NE(Undo(doc), 0u) << "changed, with no undo step";
      RecountSelection(doc);
      EXPECT_TRUE(Consistent(doc)) << "after undo";
      EXPECT_TRUE(test::SameAnimation(*Content(doc), *before)) << "after undo";
      ASSERT_NE(Redo(doc), 0u);
      RecountSelection(doc);
      EXPECT_TRUE(test::SameAnimation(*Content(doc), *after)) << "after redo";
    }
  }
  ClearHistory();
  SetPrefOn(Pref::KeepTrueColor, keepTrueColour);
  // Every edit met a document that enables it.
  for (const Entry& e : kEntries) EXPECT_TRUE(swept.count(e.id)) << "never enabled: " << e.id;
}

}  // namespace
}  // namespace lw
