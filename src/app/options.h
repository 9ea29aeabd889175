#pragma once
// The command line. An option is recognised by one byte: the second after a
// leading '-' or '/', or the third after a leading "--". So -h, /H, -help
// and --help are all the help option.

namespace zubo {

enum class Option { kNone, kHelp, kRefresh, kUtf8 };

Option classify_option(const char* arg);

struct Options {
    bool help = false;     // print the usage and end
    bool refresh = false;  // download the board menu although a copy exists
    bool utf8 = false;     // UTF-8 console, whatever the locale says
};

// Reads every argument before any is acted on; anything that is not an
// option is ignored.
Options read_options(int argc, char** argv);

}  // namespace zubo
