#include "app/options.h"

#include <gtest/gtest.h>

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
        {"--u", Option::kUtf8},   {"--", Option::kNone},      {"---h", Option::kNone},
        {"/-h", Option::kNone},   {"-x", Option::kNone},      {"", Option::kNone},
    };
    for (const Case& c : cases) EXPECT_EQ(classify_option(c.arg), c.option) << c.arg;
}

TEST(ReadOptions, EveryArgumentIsReadBeforeAnyIsActedOn) {
    struct Case {
        std::vector<const char*> args;
        bool help, refresh, utf8;
    } cases[] = {
        {{}, false, false, false},
        {{"-h", "-u"}, true, false, true},
        {{"-n", "-h"}, true, true, false},
        {{"x", "--new", "/U"}, false, true, true},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("zubo")};
        for (const char* arg : c.args) argv.push_back(const_cast<char*>(arg));
        Options options = read_options(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(options.help, c.help) << c.args.size();
        EXPECT_EQ(options.refresh, c.refresh) << c.args.size();
        EXPECT_EQ(options.utf8, c.utf8) << c.args.size();
    }
}

}  // namespace
}  // namespace zubo
