#include "screens/console.h"

#include <gtest/gtest.h>

#include <string>

#include "support/console_capture.h"

namespace zubo {
namespace {

TEST(Console, DropsTerminalControlBytesOnlyAtOutput) {
    test::ConsoleCapture capture;
    std::string hostile = "a\x1b[31mb\tc\r\x07\x7f\x00";
    hostile += "\x82\xa0\x81\x60\n";
    console::write(hostile.c_str());
    console::print("%s|%d\n", "\x1b]0;x\x07y", 7);
    EXPECT_EQ(capture.output(), "a[31mb\tc\x82\xa0\x81\x60\n]0;xy|7\n");
}

TEST(Console, ReadsLinesAsFgetsAndSingleBytes) {
    test::ConsoleCapture capture("12\nabc");
    char buf[8] = "keep";
    ASSERT_TRUE(console::read_line(buf, sizeof buf));
    EXPECT_STREQ(buf, "12\n");
    EXPECT_EQ(console::read_byte(), 'a');
    ASSERT_TRUE(console::read_line(buf, sizeof buf));
    EXPECT_STREQ(buf, "bc");
    EXPECT_FALSE(console::read_line(buf, sizeof buf));
    EXPECT_STREQ(buf, "bc");
    EXPECT_EQ(console::read_byte(), EOF);
}

TEST(Console, LongInputLineIsReadInBufferSizedPieces) {
    test::ConsoleCapture capture(std::string(10, 'x') + "\n");
    char buf[4];
    std::string pieces;
    while (console::read_line(buf, sizeof buf)) pieces += std::string(buf) + "|";
    EXPECT_EQ(pieces, "xxx|xxx|xxx|x\n|");
}

}  // namespace
}  // namespace zubo
