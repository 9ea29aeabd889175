#include <gtest/gtest.h>

#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

TEST(Messages, EveryTextIsTheCp932FormOfItsSpelling) {
    struct Spelled {
        const char* name;
        const char* utf8;
        std::string cp932;
    } texts[] = {
#define ZUBO_MESSAGE(name, utf8, cp932) {#name, utf8, std::string(cp932, sizeof(cp932) - 1)},
#include "console/messages.def"
#undef ZUBO_MESSAGE
    };
    for (const Spelled& t : texts) {
        EXPECT_EQ(t.cp932.find('\0'), std::string::npos) << t.name << " holds a NUL";
        EXPECT_EQ(test::utf8(t.cp932), t.utf8) << t.name;
    }
}

}  // namespace
}  // namespace zubo
