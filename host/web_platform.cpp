// host/web_platform.cpp — the browser build's programs, signals and threads of platform.h, in place
// of platform_process.cpp: no program starts and no signal ends a page, no thread starts, and an
// address opens in a new tab.
// Depends on: platform.h; emscripten.
#include "platform.h"

#include <emscripten.h>

namespace platform {

bool ThreadsAvailable() { return false; }
void SetThreadsAvailable(bool) {}

bool Spawn(const std::vector<std::string>&, std::string* error) {
  if (error) *error = "spawn: no program starts inside a browser page";
  return false;
}

// clang-format off
// With "noopener" the browser hands back no window, opened or not: a blocked tab is the
// browser's to report.
EM_JS(void, web_open_tab, (const char* url), {
  window.open(UTF8ToString(url), "_blank", "noopener");
});
// clang-format on

// The host hands over only addresses it checked: http or https, no control characters.
bool OpenInBrowser(const std::string& url, std::string*) {
  web_open_tab(url.c_str());
  return true;
}

void BlockEndSignals() {}
bool WatchEndSignals(void (*)(), bool (*)(), double) { return false; }

} // namespace platform
