#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

// The bytes made at build time read back as their spellings, and every
// spelling has its bytes.
TEST(Messages, EveryTextIsTheCp932FormOfItsSpelling) {
    std::map<std::string, std::string> spelled = {
#define ZUBO_MESSAGE(name, utf8) {#name, utf8},
#include "console/messages.def"
#undef ZUBO_MESSAGE
    };
    const struct {
        const char* name;
        std::string cp932;
    } made[] = {
#define ZUBO_MESSAGE_CP932(name, cp932) {#name, std::string(cp932, sizeof(cp932) - 1)},
#include "console/messages_cp932.inc"
#undef ZUBO_MESSAGE_CP932
    };
    ASSERT_EQ(std::size(made), spelled.size());
    for (const auto& m : made) {
        EXPECT_EQ(m.cp932.find('\0'), std::string::npos) << m.name << " holds a NUL";
        EXPECT_EQ(test::utf8(m.cp932), spelled.at(m.name)) << m.name;
    }
}

}  // namespace
}  // namespace zubo
