#include "shell/strings.h"

#include <cstring>
#include <map>

namespace lw {
namespace {

// Filled out with the whole table.
const std::map<int, const char*>& Table() {
  static const std::map<int, const char*> table = {
      {40325, "Erreur"},
  };
  return table;
}

}  // namespace

const char* LoadResText(int id) {
  thread_local char buffer[1024];
  auto it = Table().find(id);
  if (it == Table().end()) return nullptr;
  std::strncpy(buffer, it->second, sizeof buffer - 1);
  buffer[sizeof buffer - 1] = 0;
  return buffer;
}

std::string ResText(int id) {
  auto it = Table().find(id);
  return it == Table().end() ? std::string() : std::string(it->second);
}

}  // namespace lw
