#pragma once
// The command line: options are recognised by their second byte after a
// leading '-' or '/', so -h, /H and -help are all the help option.

namespace zubo {

enum class Option { kNone, kHelp, kRefresh, kUtf8 };

Option classify_option(const char* arg);

}  // namespace zubo
