// Opening a page in the desktop's browser (help, tutorial) through xdg-open, whose answer comes
// later: it may take a while to find a browser, or keep running while the browser shows the page.
#pragma once

#include <functional>
#include <string>

namespace lw {

// Starts xdg-open on the file; the browser it starts outlives the program. False when it could
// not be started; otherwise `failed` runs later on the interface thread if xdg-open reports,
// within the first half minute, that nothing could open the page (a later ending is the
// browser's own and says nothing about the page).
bool OpenPageInBrowser(const std::string& path, std::function<void()> failed);

}  // namespace lw
