// --info: the document described line by line, as the batch mode finds it at that point.
#include <cstdio>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/true_colour.h"
#include "edit/properties.h"
#include "shell/batch.h"
#include "shell/status_text.h"

namespace lw {
namespace {

// One formatted line of the table text id.
template <typename... Args>
void Line(std::string* out, int id, Args... args) {
  if constexpr (sizeof...(Args) == 0) {
    *out += TableText(id);
  } else {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, TableText(id), args...);
    *out += buffer;
  }
  *out += '\n';
}

// A comment comes from the file: its control characters must not reach the terminal.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

std::string DisposalName(int disposal) {
  switch (disposal) {
    case 0: return TableText(str::InfoDisposalNone);
    case 1: return TableText(str::InfoDisposalLeave);
    case 2: return TableText(str::InfoDisposalBackground);
    case 3: return TableText(str::InfoDisposalPrevious);
    default: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, TableText(str::InfoDisposalReserved), disposal);
      return buffer;
    }
  }
}

}  // namespace

std::string DescribeAnimation(const Animation& animation, const std::string& name) {
  std::string out;
  const std::string shown = name.empty() ? TableText(str::InfoUntitled) : name;
  Line(&out, str::InfoHeader, shown.c_str(), static_cast<int>(animation.frameCount));
  Line(&out, str::InfoScreen, animation.screenWidth, animation.screenHeight);
  if (animation.globalPalette) {
    Line(&out, str::InfoGlobalPalette, animation.globalPalette->Count(),
         static_cast<int>(animation.backgroundIndex));
  } else {
    Line(&out, str::InfoNoGlobalPalette);
  }
  if (animation.playCount == 0) {
    Line(&out, str::InfoLoopForever);
  } else {
    Line(&out, str::InfoPlays, animation.playCount);
  }
  const int comments = static_cast<int>(CommentBlocks(animation).size());
  for (int i = 0; i < comments; ++i)
    Line(&out, str::InfoComment, Printable(CommentAt(animation, i)).c_str());
  int index = 0;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f), ++index) {
    Line(&out, str::InfoFrame, index, f->width, f->height, static_cast<int>(f->left),
         static_cast<int>(f->top));
    Line(&out, str::InfoFrameTiming, DisposalName(f->Disposal()).c_str(), f->delay / 100,
         f->delay % 100);
    if (f->localPalette) Line(&out, str::InfoLocalPalette, f->localPalette->Count());
    if (f->Transparent()) Line(&out, str::InfoTransparent, static_cast<int>(f->transparentIndex));
    if (f->Interlaced()) Line(&out, str::InfoInterlaced);
    if (f->rgbPlane.empty()) continue;
    const TrueColourFacts facts = DescribeTrueColour(*f);
    if (facts.gifDiffers)
      Line(&out, str::InfoTrueColourBeyondGif, FormatThousands(facts.colours).c_str(),
           facts.paletteColours);
    else
      Line(&out, str::InfoTrueColour);
  }
  return out;
}

}  // namespace lw
