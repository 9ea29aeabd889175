#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zubo {
namespace {

TEST(ClassifyOption, SecondByteAfterDashOrSlashDecides) {
    struct Case {
        const char* arg;
        Option option;
    } cases[] = {
        {"-h", Option::kHelp},    {"/H", Option::kHelp},      {"-help", Option::kHelp},
        {"-n", Option::kRefresh}, {"-new", Option::kRefresh}, {"/N", Option::kRefresh},
        {"-u", Option::kUtf8},    {"-utf8", Option::kUtf8},   {"/U", Option::kUtf8},
        {"-", Option::kNone},     {"/", Option::kNone},       {"x", Option::kNone},
        {"h", Option::kNone},     {"--help", Option::kHelp},  {"--N", Option::kRefresh},
        {"--u", Option::kUtf8},   {"--", Option::kNone},      {"---h", Option::kUnknown},
        {"/-h", Option::kUnknown}, {"-x", Option::kUnknown},  {"", Option::kNone},
        {"--bogus", Option::kUnknown}, {"-s", Option::kSjis}, {"/S", Option::kSjis},
        {"-v", Option::kVersion}, {"--version", Option::kVersion},
    };
    for (const Case& c : cases) EXPECT_EQ(classify_option(c.arg), c.option) << c.arg;
}

TEST(ReadOptions, EveryArgumentIsReadBeforeAnyIsActedOn) {
    struct Case {
        std::vector<const char*> args;
        bool help, refresh;
        ConsoleChoice console;
        std::string unknown;
        std::string link;
    } cases[] = {
        {{}, false, false, ConsoleChoice::kLocale, "", ""},
        {{"-h", "-u"}, true, false, ConsoleChoice::kUtf8, "", ""},
        {{"-n", "-h"}, true, true, ConsoleChoice::kLocale, "", ""},
        {{"x", "--new", "/U"}, false, true, ConsoleChoice::kUtf8, "", "x"},
        {{"-u", "-s"}, false, false, ConsoleChoice::kSjis, "", ""},
        {{"-s", "-x", "-u", "--bogus"}, false, false, ConsoleChoice::kUtf8, "-x", ""},
        // The first argument that is no option is the link; an empty one is none.
        {{"", "-u", "http://a/b/", "http://c/d/"}, false, false, ConsoleChoice::kUtf8, "", "http://a/b/"},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("zubo")};
        for (const char* arg : c.args) argv.push_back(const_cast<char*>(arg));
        Options options = read_options(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(options.help, c.help) << c.args.size();
        EXPECT_EQ(options.refresh, c.refresh) << c.args.size();
        EXPECT_EQ(options.console, c.console) << c.args.size();
        EXPECT_EQ(options.unknown ? options.unknown : "", c.unknown) << c.args.size();
        EXPECT_EQ(options.link ? options.link : "", c.link) << c.args.size();
    }
}

}  // namespace
}  // namespace zubo
