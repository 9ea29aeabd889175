#include "app/options.h"

#include <gtest/gtest.h>

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
        {"h", Option::kNone},     {"--help", Option::kNone},  {"-x", Option::kNone},
        {"", Option::kNone},
    };
    for (const Case& c : cases) EXPECT_EQ(classify_option(c.arg), c.option) << c.arg;
}

}  // namespace
}  // namespace zubo
