#include "console/console.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/console_capture.h"
#include "support/encoding.h"

namespace zubo {
namespace {

const std::string kEnding = "\n" + test::sjis("■終了します。\n");

TEST(Console, CommandsAndPausesTakeWholeLines) {
    test::ConsoleCapture capture("12\n2 and more\nj12");
    char buf[8];
    capture.read_command(buf, sizeof buf);
    EXPECT_STREQ(buf, "12\n");
    capture.pause();
    capture.read_command(buf, sizeof buf);
    EXPECT_STREQ(buf, "j12");
    EXPECT_EQ(capture.output(), "");
}

TEST(Console, LongLineIsOneCommandCutToTheBuffer) {
    for (bool utf8 : {false, true}) {
        test::ConsoleCapture capture(std::string(1000, 'x') + "\nnext line\n", utf8);
        char buf[4];
        capture.read_command(buf, sizeof buf);
        EXPECT_STREQ(buf, "xxx") << "utf8=" << utf8;
        capture.read_command(buf, sizeof buf);
        EXPECT_STREQ(buf, "nex") << "utf8=" << utf8;
        EXPECT_EQ(capture.unread_input(), "") << "utf8=" << utf8;
    }
}

TEST(Console, EndOfInputAtAnyReadEndsZubo) {
    struct Case {
        const char* what;
        std::string input;
        void (*read)(console::Console&);
    } cases[] = {
        {"command", "", [](console::Console& console) { char buf[8]; console.read_command(buf, sizeof buf); }},
        {"command after the last line", "e", [](console::Console& console) {
             char buf[8];
             console.read_command(buf, sizeof buf);
             console.read_command(buf, sizeof buf);
         }},
        {"pause", "", [](console::Console& console) { console.pause(); }},
    };
    for (const Case& c : cases) {
        for (bool utf8 : {false, true}) {
            test::ConsoleCapture capture(c.input, utf8);
            EXPECT_TRUE(test::ends_at_end_of_input([&] { c.read(capture); })) << c.what;
            EXPECT_EQ(capture.output(), utf8 ? "\n■終了します。\n" : kEnding) << c.what;
        }
    }
    // A pause answered by a last line without a newline is a pause, not the end.
    test::ConsoleCapture capture("2");
    EXPECT_FALSE(test::ends_at_end_of_input([&] { capture.pause(); }));
}

TEST(ConsoleUtf8, OutputIsConvertedAndBadBytesBecomeQuestionMarks) {
    struct Case {
        const char* what;
        std::string cp932;
        std::string shown;
    } cases[] = {
        {"81 60 is the full-width tilde", test::sjis("あぼ") + "\x81\x60" + test::sjis("ん"), "あぼ～ん"},
        {"half-width katakana", "\xb1\xb2\xb3", "ｱｲｳ"},
        {"unmapped single bytes", "a\x80z\xa0\xfd\n", "a?z??\n"},
        {"lead byte before a newline", "abc\x82\n" + test::sjis("続き"), "abc?\n続き"},
        {"lead byte with a bad trail byte", "\x81 " + test::sjis("■"), "? ■"},
        {"lead byte at the very end", test::sjis("終") + "\x82", "終?"},
    };
    for (const Case& c : cases) {
        test::ConsoleCapture console("", true);
        console.write(c.cp932.c_str());
        console.print("[%s]", c.cp932.c_str());
        EXPECT_EQ(console.output(), c.shown + "[" + c.shown + "]") << c.what;
    }
}

TEST(ConsoleUtf8, LongFormattedOutputComesOutWhole) {
    std::string many;
    std::string shown;
    for (int i = 0; i < 1500; ++i) {
        many += test::sjis("あ");
        shown += "あ";
    }
    test::ConsoleCapture console("", true);
    console.print("%d : %s\n", 7, many.c_str());
    EXPECT_EQ(console.output(), "7 : " + shown + "\n");
}

TEST(ConsoleUtf8, WithoutTheModeOutputStaysCp932) {
    std::string text = test::sjis("あぼ") + "\x81\x60" + "\x80\n";
    test::ConsoleCapture console;
    console.write(text.c_str());
    EXPECT_EQ(console.output(), text);
}

TEST(ConsoleUtf8, ControlBytesAreDroppedInBothModes) {
    const char* text = "a\x1b[31mb\x07\x08\r\x7f\tc\n";
    for (bool utf8 : {false, true}) {
        test::ConsoleCapture console("", utf8);
        console.write(text);
        console.print("%s|", text);
        EXPECT_EQ(console.output(), "a[31mb\tc\na[31mb\tc\n|") << "utf8=" << utf8;
    }
}

TEST(Console, StripControlsDropsEachControlWhereverItStands) {
    // Every byte value at every place of a long text: only C0 controls
    // but TAB and LF, and DEL, go; everything else keeps its order.
    const std::string text = "0123456789abcdef\x82\xa0\x81\x60ghijklmnopqrstuvwxyz\t\n";
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool control = (byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F;
        for (std::size_t at = 0; at <= text.size(); ++at) {
            std::string bytes = text;
            bytes.insert(at, 1, c);
            std::size_t size = console::Console::strip_controls(bytes.data(), bytes.size());
            std::string expected = control ? text : bytes;
            ASSERT_EQ(bytes.substr(0, size), expected) << "byte " << byte << " at " << at;
        }
    }
}

// Text from the service as print_decoded shows it in each mode; the CP932
// column is spelled in UTF-8 and converted.
TEST(PrintDecoded, EachModeShowsWhatItCan) {
    struct Case {
        const char* raw;
        const char* utf8;
        const char* cp932;
    } cases[] = {
        {"&lt;a&gt; &quot;q&quot; ?q=1&amp;hl=ja", "<a> \"q\" ?q=1&hl=ja", "<a> \"q\" ?q=1&hl=ja"},
        // Exactly once, left to right.
        {"&amp;lt;br&amp;gt; &amp;#128512; &&lt;", "&lt;br&gt; &#128512; &<", "&lt;br&gt; &#128512; &<"},
        {"&#12354;&#x3044;&#0000065;&#00000065;", "あいA&#00000065;", "あいA&#00000065;"},
        // What CP932 lacks stays a reference there, a surrogate pair whole.
        {"&#128512;|&#x1F600;", "😀|😀", "&#128512;|&#x1F600;"},
        {"&#55357;&#56832;!", "😀!", "&#55357;&#56832;!"},
        {"&#169; &#x2764;&#xFE0F; &#160;", "© ❤️ \u00a0", "&#169; &#x2764;&#xFE0F; &#160;"},
        {"&#55295;&#57344;&#1114111;", "\ud7ff\ue000\U0010ffff", "&#55295;\ue000&#1114111;"},
        // The character referred to, not CP932's idea of it.
        {"&#12316;&#65374;", "〜～", "～～"},
        {"&#55357;&#55357;&#56832; &#56832;", "&#55357;😀 &#56832;", "&#55357;&#55357;&#56832; &#56832;"},
        // No control by reference; the terminal filter runs after decoding,
        // so a control byte splits a reference and is dropped.
        {"&#31;&#32;&#127;&#x9F;&#27;[2J", "&#31; &#127;&#x9F;&#27;[2J", "&#31; &#127;&#x9F;&#27;[2J"},
        {"\x1b&lt;&#6\x07" "5;", "<&#65;", "<&#65;"},
    };
    for (const Case& c : cases) {
        for (bool utf8 : {false, true}) {
            test::ConsoleCapture console("", utf8);
            console.print_decoded("%s", c.raw);
            EXPECT_EQ(console.output(), utf8 ? c.utf8 : test::sjis(c.cp932)) << c.raw << " utf8=" << utf8;
        }
    }
}

TEST(PrintDecoded, OnlyTheArgumentsAreDecoded) {
    for (bool utf8 : {false, true}) {
        test::ConsoleCapture console("", utf8);
        console.print_decoded("&amp;%d %ld%% %s|%s\n", -7, 1234567890123L, "&amp;", "&#12354;");
        EXPECT_EQ(console.output(), "&amp;-7 1234567890123% &|" + (utf8 ? std::string("あ") : test::sjis("あ")) + "\n")
            << "utf8=" << utf8;
    }
}

TEST(PrintDecoded, TextWithoutReferencesComesOutAsPrintWritesIt) {
    std::string text = test::sjis("あぼ") + "\x81\x60\x1b[1m a\x80z\t" + std::string(1500, 'x') + "\x81";
    for (bool utf8 : {false, true}) {
        test::ConsoleCapture printed("", utf8);
        printed.print("%d : %s]%s\n", 3, text.c_str(), "&amp");
        test::ConsoleCapture decoded_out("", utf8);
        decoded_out.print_decoded("%d : %s]%s\n", 3, text.c_str(), "&amp");
        EXPECT_EQ(decoded_out.output(), printed.output()) << "utf8=" << utf8;
    }
}

TEST(PrintDecoded, FiltersEveryByteWhereverItStands) {
    // A byte of each kind at each place of a text longer than the blocks
    // the filter reads at a time, with no reference in it: print_decoded
    // writes what print writes.
    const std::string text = std::string(20, 'x') + "\x82\xa0" + std::string(20, 'y');
    for (char byte : {'\x01', '\t', '\n', '\x1b', '\x1f', '\x7f', '&', ' ', '\x80'}) {
        for (std::size_t at = 0; at <= text.size(); ++at) {
            std::string s = text;
            s.insert(at, 1, byte);
            test::ConsoleCapture printed;
            printed.print("[%s]", s.c_str());
            test::ConsoleCapture decoded;
            decoded.print_decoded("[%s]", s.c_str());
            ASSERT_EQ(decoded.output(), printed.output()) << static_cast<int>(byte) << " at " << at;
        }
    }
}

TEST(PrintDecoded, LongLinesComeOutWhole) {
    std::string raw;
    std::string shown;
    for (int i = 0; i < 1500; ++i) {
        raw += "&#12354;&#128512;";
        shown += "あ😀";
    }
    test::ConsoleCapture utf8("", true);
    utf8.print_decoded("%s\n", raw.c_str());
    EXPECT_EQ(utf8.output(), shown + "\n");

    std::string kept;
    for (int i = 0; i < 1500; ++i) kept += test::sjis("あ") + "&#128512;";
    test::ConsoleCapture cp932;
    cp932.print_decoded("%s\n", raw.c_str());
    EXPECT_EQ(cp932.output(), kept + "\n");
}

TEST(ConsoleUtf8, InputLinesAreConvertedToCp932) {
    test::ConsoleCapture console("sスレッド\n\xff" "ab\nj12", true);
    char line[320];
    console.read_command(line, sizeof line);
    EXPECT_EQ(std::string(line), "s" + test::sjis("スレッド") + "\n");
    console.read_command(line, sizeof line);
    EXPECT_EQ(std::string(line), "?ab\n");
    console.read_command(line, sizeof line);
    EXPECT_STREQ(line, "j12");
}

TEST(ConsoleUtf8, InputLineIsCutToTheBuffer) {
    std::string typed;
    for (int i = 0; i < 10; ++i) typed += "漢";
    test::ConsoleCapture console(typed + "\n", true);
    char line[8];
    console.read_command(line, sizeof line);
    EXPECT_EQ(std::strlen(line), sizeof line - 1);
    EXPECT_EQ(std::string(line).substr(0, 6), test::sjis("漢漢漢"));
}

TEST(ConsoleUtf8, WithoutTheModeInputStaysAsTyped) {
    std::string typed = "s" + test::sjis("スレ") + "\n";
    test::ConsoleCapture console(typed);
    char line[320];
    console.read_command(line, sizeof line);
    EXPECT_EQ(std::string(line), typed);
}

}  // namespace
}  // namespace zubo
