#pragma once
// The command line: options are recognised by their second byte after a
// leading '-' or '/', so -h, /H and -help are all the help option.

namespace zubo {

enum class Option { kNone, kHelp, kRefresh, kUtf8 };

Option classify_option(const char* arg);

// Acts on the options in order: help prints the usage and ends the process
// with status 0 (later arguments unread); refresh deletes the menu cache;
// the UTF-8 option switches the console. Everything else is ignored.
void apply_options(int argc, char** argv);

}  // namespace zubo
