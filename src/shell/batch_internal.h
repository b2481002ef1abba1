// Inside the batch mode: its state while the flags run, and the long flags' table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "edit/caption/text_layer.h"
#include "formats/webp/webp_settings.h"
#include "shell/shell_state.h"

namespace lw::batch {

struct Run {
  ShellState state;
  std::string name;     // the first input's path, for --info
  int outputType = 0;   // the -o type; 0 from the output's name
  uint32_t frames = 0;  // --frames: 0 the whole animation, else the save option bits
  bool bicubic = false;
  bool dither = false;
  WebpSettings webp;        // --webp; unfilled: the stored choice
  int quality = 0;          // --quality: the level inputs get their palette at; 0 see ReadLevel
  int level = 0;            // the level the document's palette was last made at; 0 none
  int levelLossy = 0;       // the lossy amount that level gives the next GIF saved, unless --lossy
  int lossyAsked = -1;      // --lossy: the amount for the next GIF saved; -1 not asked
  TextStyle textStyle;      // --font, --text-colour, --outline, --shadow, --align
  Placement place;          // --place, --margin
  std::string layerFrames;  // --text-frames; empty every frame
  int fade = 0;             // --fade
  int opacity = 100;        // --opacity
  bool failed = false;      // a failure that showed no message (a save that did not happen)
  bool stop = false;        // a flag stopped the batch
};

enum class Argument { None, Required, Optional };

struct LongFlag {
  const char* name;    // with its dashes
  const char* syntax;  // the argument in the help, "" for none
  Argument argument;
  int helpId;
  bool needsDocument;  // "Aucune animation pour %s" without one
  // value is the argument, empty for none; flag is the name as given, for messages.
  void (*run)(Run& run, const std::string& flag, const std::string& value);
};

// The level a read of frames gets its palette at without a --quality before it, when they hold
// 24-bit data (a clip, photographs): on photograph-like clips it is as faithful as FFmpeg's
// two-pass palette in fewer bytes. Indexed inputs keep the stored palette fitting.
constexpr int TrueColourReadQuality = 90;

// The level the frames of a read get their palette at: --quality's, else
// TrueColourReadQuality when some frame of the chain holds 24-bit data, else 0 (the stored way).
int ReadLevel(const Run& run, const Animation* chain);

// The optimizer options the user did not name, less the folding of local tables when a
// quality level made them for their frames: they are the best fit already, and one palette
// for all would undo it.
uint32_t KeepingLevelTables(const Run& run, uint32_t options);

// After the document got its palette at a quality level: the frames keep their 24-bit data, so
// that a later --quality rebuilds from the true colours rather than from this level's picture
// (the optimizer drops it, DropTrueColour), and the level's lossy amount waits for the next GIF
// written.
void AfterQualityLevel(Run& run, int level);

// What a level's palette leaves for the GIF while the frames keep their 24-bit pictures (the
// refinement of the still areas, RefineFromTrueColour), done before a GIF is made of them.
void RefineKeptPictures(Run& run);

// The refinement above is made first; then the 24-bit data of frames that have an image goes, as
// the window's confirmation drops it before an optimization: the optimizer follows the screen index
// by index.
void DropTrueColour(Run& run);

// Hands what an input read to the document: it becomes the document, or goes in after it, with
// its palette made at the level of ReadLevel. first: the input's name, for --info.
void TakeInput(Run& run, AnimationPtr chain, int count, const std::string& first);

// --record AREA, with the --duration, --fps and --pointer that follow it: records the screen and
// takes the recording as an input. False when args[*i] is not --record; *i moves past what it
// took.
bool RecordFlag(Run& run, const std::vector<std::string>& args, size_t* i);

// The long flags, in the order of the help.
const LongFlag* LongFlags(size_t* count);

}  // namespace lw::batch
