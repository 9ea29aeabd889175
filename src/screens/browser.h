#pragma once
// The user's browser, for the links zubo doesn't open itself.

#include <string>
#include <vector>

#include "screens/run.h"

namespace zubo {

// The command that opens url: the words of browser (the BROWSER variable;
// split at blanks, no shell), url in place of each "%s" in them, or after
// the last word when none has it; without one, xdg-open and url when
// xdg-open is a program on path (the PATH variable); empty when there is
// neither.
std::vector<std::string> browser_command(const char* browser, const char* path, const std::string& url);

// Runs the browser's command on url and waits for it to return (a browser
// of the terminal uses the terminal meanwhile); says so when there is none
// or it can't be run. True when it ran.
bool open_in_browser(Run& run, const std::string& url);

}  // namespace zubo
