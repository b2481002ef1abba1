// The manual page, made when the program is built from the same flags and texts as --help, so
// that the two never disagree.
#include <string>
#include <string_view>

#include "base/string_ids.h"
#include "base/strings.h"
#include "shell/batch.h"

namespace lw {
namespace {

// Text made safe for roff: backslashes printed as such, dashes kept as the minus signs one
// types (and searches for), and no line taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out.push_back(c);
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string OptionsSection() {
  std::string out;
  for (const BatchHelpEntry& entry : BatchHelpEntries()) {
    out += ".TP\n\\fB" + Roff(entry.name) + "\\fR";
    if (entry.optionalArgument)
      out += "[=\\fI" + Roff(entry.argument) + "\\fR]";
    else if (!entry.argument.empty())
      out += " \\fI" + Roff(entry.argument) + "\\fR";
    out += "\n" + Roff(TableText(entry.helpId)) + "\n";
  }
  out += ".PP\n" + Roff(TableText(str::BatchHelpFrameLists)) + "\n";
  out += ".PP\n" + Roff(TableText(str::BatchHelpOptimizeNames)) + "\n";
  return out;
}

}  // namespace

std::string BatchManualPage(std::string_view templateText, std::string_view dataDir) {
  const std::string fills[][2] = {{"@VERSION@", Roff(TableText(str::BatchVersion))},
                                  {"@DATADIR@", Roff(dataDir)}};
  std::string out;
  while (!templateText.empty()) {
    size_t end = templateText.find('\n');
    std::string line(templateText.substr(0, end));
    templateText.remove_prefix(end == std::string_view::npos ? templateText.size() : end + 1);
    if (line == "@OPTIONS@") {
      out += OptionsSection();
      continue;
    }
    for (const auto& [key, value] : fills)
      for (size_t at = line.find(key); at != std::string::npos;
           at = line.find(key, at + value.size()))
        line.replace(at, key.size(), value);
    out += line + "\n";
  }
  return out;
}

}  // namespace lw
