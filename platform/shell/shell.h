// The shell service: hands a text to the desktop, which opens it with the
// program registered for its kind (a torrent client for "magnet:" links).
#ifndef VELK_PLATFORM_SHELL_SHELL_H_
#define VELK_PLATFORM_SHELL_SHELL_H_

#include <string_view>

namespace velk::platform {

// Opens `text` (code page 936) with the desktop's handler: starts xdg-open,
// found on PATH, with the text converted to UTF-8 as its one argument. The
// program is started detached, never through a shell, and not waited for;
// nothing is reported, whatever it does.
//
// Only a text that OpensAsUrl accepts is handed over. Any other text (the
// empty text, a path, a "file:", "javascript:", "vbscript:" or "data:" URL)
// opens nothing, so a page cannot make a double-click open a local file or
// program, or run script in the user's browser.
void OpenWithShell(std::string_view text);

// True when `text` is an absolute URL: a scheme of at least two characters
// (a letter, then letters, digits, "+", "-" or "."), a colon, and no control
// character anywhere; and the scheme (in any case) is none of "file",
// "javascript", "vbscript" and "data".
bool OpensAsUrl(std::string_view text);

}  // namespace velk::platform

#endif  // VELK_PLATFORM_SHELL_SHELL_H_
