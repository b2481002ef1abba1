// The batch mode: started with a first argument beginning with "-", the program opens no window
// and works through its flags from left to right on one document: reading files, editing them
// through the same engine functions as the window's dialogs, and writing them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"

namespace lw {

// Runs the flags (the program's arguments after its own name). Messages go through the
// services (standard error without a window); --help, --version and --info write to standard
// output. Returns the exit code: 0 when no message was shown, 1 otherwise.
int RunBatch(const std::vector<std::string>& args);

// The names of a list file's text: one per line, lines ending at CR, LF or CR LF; an empty line
// gives an empty name, a break at the very end no further name; a zero byte ends the list.
std::vector<std::string> SplitFileList(std::string_view text);

// One flag as --help lists it: its name with its dashes, its argument ("" for none, which is
// written "[=ARGUMENT]" when it may be left out) and its description's text id.
struct BatchHelpEntry {
  std::string name;
  std::string argument;
  bool optionalArgument = false;
  int helpId = 0;
};
// Every flag, in the order of --help: the short ones, then the long ones.
std::vector<BatchHelpEntry> BatchHelpEntries();

// The text of --help: the usage line, one line per flag, and the notes on frame lists and
// optimize options.
std::string BatchHelpText();

// The manual page: the roff text of templateText with its line "@OPTIONS@" replaced by the
// flags of --help and their notes, "@VERSION@" by the version --version prints and "@DATADIR@"
// by dataDir, the folder the help and samples are installed under (e.g. /usr/share).
std::string BatchManualPage(std::string_view templateText, std::string_view dataDir);

// A whole number of decimal digits with an optional sign, within min..max.
bool ParseWholeNumber(std::string_view text, int64_t min, int64_t max, int64_t* value);

// A frame list such as "0,3-5,-1": indexes from 0, negative ones counted from the end (-1 the
// last), inclusive ranges a-b with a <= b. *frames gets one flag per frame. False when the text
// is malformed or names a frame outside 0..count-1.
bool ParseFrameList(std::string_view text, int count, std::vector<bool>* frames);

// "WxH" for --resize: either side may be "_" (*width or *height 0), not both; sides 1..65535.
bool ParseResizeSize(std::string_view text, uint32_t* width, uint32_t* height);

// "X,Y,W,H" for --crop: X and Y at least 0, W and H at least 1, every value below 65536.
bool ParseCropRectangle(std::string_view text, int64_t rect[4]);

// The optimize dialog's options by name, separated by commas: crop, transparency, useless,
// local, global, meta, reduce. "global" and "meta" exclude each other; neither is the dialog's
// "only when merging".
bool ParseOptimizeOptions(std::string_view text, uint32_t* options);

// The save choice of --frames: "animation" (saveopt::AnimationChosen), "individual"
// (saveopt::Individual), "strip" or "vstrip" with an optional ":N" strip count (saveopt::Strip,
// vertical bit, count in the high 16 bits; 1 strip by default).
bool ParseFramesChoice(std::string_view text, uint32_t* optionBits);

// A time of a clip, in seconds ("2", "2.5") or as [hh:]mm:ss[.mmm] ("1:30", "01:02:03.250"),
// into milliseconds.
bool ParseClipTime(std::string_view text, int64_t* ms);
// A frame rate ("10", "12.5", up to 3 decimals, above 0 and at most 1000) into frames a second
// x 1000.
bool ParseFrameRate(std::string_view text, uint32_t* milli);

// What --info prints for the document: the screen, the global palette, the loop, the comments,
// then each frame's size, position, disposal, delay, transparency and local palette.
std::string DescribeAnimation(const Animation& animation, const std::string& name);

}  // namespace lw
