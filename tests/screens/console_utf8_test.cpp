#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "screens/console.h"
#include "screens/ng_filter.h"
#include "screens/pager.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace zubo {
namespace {

using test::ConsoleCapture;
using test::sjis;

TEST(ConsoleUtf8, OutputIsConvertedAndBadBytesBecomeQuestionMarks) {
    struct Case {
        const char* what;
        std::string cp932;
        std::string shown;
    } cases[] = {
        {"81 60 is the full-width tilde", sjis("あぼ") + "\x81\x60" + sjis("ん"), "あぼ～ん"},
        {"half-width katakana", "\xb1\xb2\xb3", "ｱｲｳ"},
        {"unmapped single bytes", "a\x80z\xa0\xfd\n", "a?z??\n"},
        {"lead byte before a newline", "abc\x82\n" + sjis("続き"), "abc?\n続き"},
        {"lead byte with a bad trail byte", "\x81 " + sjis("■"), "? ■"},
        {"lead byte at the very end", sjis("終") + "\x82", "終?"},
    };
    for (const Case& c : cases) {
        ConsoleCapture console("", true);
        console::write(c.cp932.c_str());
        console::print("[%s]", c.cp932.c_str());
        EXPECT_EQ(console.output(), c.shown + "[" + c.shown + "]") << c.what;
    }
}

TEST(ConsoleUtf8, LongFormattedOutputComesOutWhole) {
    std::string many;
    std::string shown;
    for (int i = 0; i < 1500; ++i) {
        many += sjis("あ");
        shown += "あ";
    }
    ConsoleCapture console("", true);
    console::print("%d : %s\n", 7, many.c_str());
    EXPECT_EQ(console.output(), "7 : " + shown + "\n");
}

TEST(ConsoleUtf8, WithoutTheModeOutputStaysCp932) {
    std::string text = sjis("あぼ") + "\x81\x60" + "\x80\n";
    ConsoleCapture console;
    console::write(text.c_str());
    EXPECT_EQ(console.output(), text);
}

TEST(ConsoleUtf8, ControlBytesAreDroppedInBothModes) {
    const char* text = "a\x1b[31mb\x07\x08\r\x7f\tc\n";
    for (bool utf8 : {false, true}) {
        ConsoleCapture console("", utf8);
        console::write(text);
        console::print("%s|", text);
        EXPECT_EQ(console.output(), "a[31mb\tc\na[31mb\tc\n|") << "utf8=" << utf8;
    }
}

TEST(ConsoleUtf8, InputLinesAreConvertedToCp932) {
    ConsoleCapture console("sスレッド\n\xff" "ab\nj12", true);
    char line[kCommandSize];
    ASSERT_TRUE(console::read_line(line, sizeof line));
    EXPECT_EQ(std::string(line), "s" + sjis("スレッド") + "\n");
    ASSERT_TRUE(console::read_line(line, sizeof line));
    EXPECT_EQ(std::string(line), "?ab\n");
    ASSERT_TRUE(console::read_line(line, sizeof line));
    EXPECT_STREQ(line, "j12");
    EXPECT_FALSE(console::read_line(line, sizeof line));
    EXPECT_STREQ(line, "j12");
}

TEST(ConsoleUtf8, InputLineIsCutToTheBuffer) {
    std::string typed;
    for (int i = 0; i < 10; ++i) typed += "漢";
    ConsoleCapture console(typed + "\n", true);
    char line[8];
    ASSERT_TRUE(console::read_line(line, sizeof line));
    EXPECT_EQ(std::strlen(line), sizeof line - 1);
    EXPECT_EQ(std::string(line).substr(0, 6), sjis("漢漢漢"));
}

TEST(ConsoleUtf8, WithoutTheModeInputStaysAsTyped) {
    std::string typed = "s" + sjis("スレ") + "\n";
    ConsoleCapture console(typed);
    char line[kCommandSize];
    ASSERT_TRUE(console::read_line(line, sizeof line));
    EXPECT_EQ(std::string(line), typed);
}

const char* const kTitles[] = {"", "雑談スレッド", "質問", "スレッド立て依頼"};

const char* title_label(const void* titles, int n) { return static_cast<const std::string*>(titles)[n].c_str(); }
void open_nothing(const void*, int) {}

TEST(ConsoleUtf8, SearchTypedInUtf8FindsCp932Labels) {
    std::string titles[4];
    for (int i = 0; i < 4; ++i) titles[i] = sjis(kTitles[i]);
    PagerList list{3, titles, title_label, open_nothing};

    ConsoleCapture console("sスレッド\n\ne\n", true);
    run_pager(kBoardListPager, list);
    std::string shown = console.output();
    EXPECT_NE(shown.find("■スレッドを検索...\n1 : 雑談スレッド\n3 : スレッド立て依頼\n■検索結果は以上です。"),
              std::string::npos)
        << shown;
}

class NgWordsUtf8 : public ::testing::Test {
protected:
    // Runs a CP932 thread line through the filter; true when it was hidden.
    bool hidden(const std::string& line, bool utf8) {
        ConsoleCapture console("", utf8);
        char buffer[256] = {};
        std::memcpy(buffer, line.data(), line.size());
        return apply_ng_words(buffer) == 1;
    }

    test::WorkingDir dir_;
    const std::string line_ = sjis("名無し<><>2026/01/01<> 今すぐ儲かる話 <>\n");
};

TEST_F(NgWordsUtf8, Utf8WordMatchesCp932LineOnlyInUtf8Mode) {
    test::write_file("ngword.txt", "関係ない\n儲かる\r\n");
    EXPECT_TRUE(hidden(line_, true));
    EXPECT_FALSE(hidden(line_, false));
}

TEST_F(NgWordsUtf8, Cp932WordIsUsedAsItStands) {
    test::write_file("ngword.txt", sjis("儲かる") + "\n");
    EXPECT_TRUE(hidden(line_, true));
    EXPECT_TRUE(hidden(line_, false));
    EXPECT_FALSE(hidden(sjis("名無し<><>2026/01/01<> 平和な話 <>\n"), true));
}

}  // namespace
}  // namespace zubo
