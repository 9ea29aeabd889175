#include "console/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

TEST(Messages, EveryTextIsTheCp932FormOfItsSpelling) {
    ASSERT_GT(messages::kAllCount, 20u);
    for (std::size_t i = 0; i < messages::kAllCount; ++i) {
        const messages::Spelled& t = messages::kAll[i];
        std::string bytes(t.cp932, t.cp932_size);
        EXPECT_EQ(bytes.size(), std::strlen(t.cp932)) << t.name << " holds a NUL";
        EXPECT_EQ(test::utf8(bytes), t.utf8) << t.name;
    }
}

TEST(Messages, MessagesStartWithTheSquareMark) {
    const std::string square = "\x81\xa1";
    for (const char* t : {messages::downloading_menu, messages::menu_strange, messages::board_page_prompt,
                          messages::thread_page_prompt, messages::post_prompt, messages::thread_end}) {
        EXPECT_EQ(std::string(t).substr(0, 2), square) << test::utf8(t);
    }
}

}  // namespace
}  // namespace zubo
