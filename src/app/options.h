#pragma once
// The command line. An option is recognised by one byte: the second after a
// leading '-' or '/', or the third after a leading "--". So -h, /H, -help
// and --help are all the help option.

namespace zubo {

enum class Option { kNone, kUnknown, kHelp, kRefresh, kUtf8, kSjis, kVersion };

// kNone for an argument that is no option (no leading '-', '/' or "--");
// kUnknown for an option zubo doesn't know.
Option classify_option(const char* arg);

// The console's encoding: the locale's, or the one an option asks for.
enum class ConsoleChoice { kLocale, kUtf8, kSjis };

struct Options {
    bool help = false;     // print the usage and end
    bool version = false;  // print the version and end
    bool refresh = false;  // download the board menu although a copy exists
    ConsoleChoice console = ConsoleChoice::kLocale;  // of -u and -s, the last given
    const char* unknown = nullptr;  // the first option zubo doesn't know
    const char* link = nullptr;     // the first argument that is no option: a link to open
};

// Reads every argument before any is acted on; of the arguments that are
// no option, the first is the link to open and the others are ignored.
Options read_options(int argc, char** argv);

}  // namespace zubo
