#include "screens/image_view.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>

#include "loopback_server.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/images.h"
#include "support/scoped_env.h"
#include "support/screen_run.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

using test::file_exists;
using test::ScopedEnv;
using test::ScreenRun;
using test::sjis;
using test::TempDir;

// A screen run whose console writes to a pseudo-terminal of the given size
// (so the screens see a terminal) and reads the typed lines from a file.
// What reaches the terminal is read on a thread of its own, so a large
// picture never blocks the screen.
class TerminalRun {
public:
    TerminalRun(const std::string& typed, bool utf8, int rows = 24, int columns = 80, int cell_pixels = 0)
        : screen_("", utf8) {
        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_xpixel = static_cast<unsigned short>(columns * cell_pixels);
        size.ws_ypixel = static_cast<unsigned short>(rows * cell_pixels * 2);
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
        out_ = fdopen(slave_, "w");
        in_ = std::tmpfile();
        std::fwrite(typed.data(), 1, typed.size(), in_);
        std::rewind(in_);
        screen_.set_streams(in_, out_);
        reader_ = std::thread([this] {
            char chunk[4096];
            for (;;) {
                ssize_t n = read(master_, chunk, sizeof chunk);
                if (n > 0) shown_.append(chunk, static_cast<std::size_t>(n));
                else if (n < 0 && errno == EINTR) continue;
                else break;
            }
        });
    }
    ~TerminalRun() { close_terminal(); }

    bool opened() const { return out_ != nullptr; }

    // The typed lines not read yet.
    std::string unread() {
        std::string rest;
        for (int c; (c = std::fgetc(in_)) != EOF;) rest += static_cast<char>(c);
        return rest;
    }
    Run& run() { return screen_.run(); }
    ScreenRun& screen() { return screen_; }

    // Everything the terminal showed, once the screen is done with it.
    const std::string& shown() {
        close_terminal();
        return shown_;
    }

private:
    void close_terminal() {
        if (!out_) return;
        std::fflush(out_);
        screen_.set_streams(nullptr, nullptr);
        std::fclose(out_);
        out_ = nullptr;
        if (reader_.joinable()) reader_.join();
        close(master_);
        std::fclose(in_);
    }

    ScreenRun screen_;
    int master_ = -1;
    int slave_ = -1;
    std::FILE* out_ = nullptr;
    std::FILE* in_ = nullptr;
    std::thread reader_;
    std::string shown_;
};

// The bytes of a half block, quadrant or shade (U+2580 to U+259F) in UTF-8.
bool has_block_character(const std::string& text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] == '\xE2' && text[i + 1] == '\x96' && static_cast<unsigned char>(text[i + 2]) <= 0x9F) return true;
    }
    return false;
}

class ImageView : public ::testing::Test {
protected:
    // A colour terminal with no graphics protocol of its own: pictures come
    // in coloured blocks. The loopback server is reached directly.
    ScopedEnv env_{{"TERM", "xterm-256color"}, {"COLORTERM", std::nullopt}, {"NO_COLOR", std::nullopt},
                   {"TERM_PROGRAM", std::nullopt}, {"KITTY_WINDOW_ID", std::nullopt}, {"VTE_VERSION", std::nullopt},
                   {"TMUX", std::nullopt}, {"LC_TERMINAL", std::nullopt}, {"KONSOLE_VERSION", std::nullopt},
                   {"MLTERM", std::nullopt}, {"WT_SESSION", std::nullopt}, {"TERMINAL_EMULATOR", std::nullopt},
                   {"http_proxy", std::nullopt}, {"HTTP_PROXY", std::nullopt},
                   {"all_proxy", std::nullopt}, {"ALL_PROXY", std::nullopt}};
    TempDir dir_;
    ScopedEnv cache_home_{{"XDG_CACHE_HOME", dir_.path()}};
    LoopbackServer server_;
    std::string picture_ = test::png_picture(6, 3);

    void SetUp() override { server_.serve("/pic.png", picture_, 200, "image/png"); }

    ImageCacheSettings cache_of(std::uintmax_t limit) { return {dir_.file("zubo/images"), limit}; }
};

TEST_F(ImageView, InAPipeOnlyTheLinkIsPrinted) {
    ScreenRun screen;
    show_image(screen.run(), server_.url("/pic.png"));
    EXPECT_EQ(screen.output(), server_.url("/pic.png") + "\n");
    EXPECT_EQ(server_.request_count(), 0u);
}

TEST_F(ImageView, OnATerminalThePictureIsDrawnInBlocksThenItsPrompt) {
    TerminalRun terminal("\nleft over\n", true, 24, 80);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/pic.png"));
    EXPECT_EQ(terminal.unread(), "left over\n");
    const std::string& shown = terminal.shown();
    const std::string loading = "■画像を読み込んでいます...ok\r\n";
    const std::string prompt = "■--画像 6x3 " + server_.url("/pic.png") + " (Enter:戻る)--";
    const std::size_t drawn_from = shown.find(loading);
    const std::size_t prompt_at = shown.find(prompt);
    ASSERT_NE(drawn_from, std::string::npos) << shown;
    ASSERT_NE(prompt_at, std::string::npos) << shown;
    ASSERT_LT(drawn_from, prompt_at);
    const std::string drawn = shown.substr(drawn_from + loading.size(), prompt_at - drawn_from - loading.size());
    EXPECT_TRUE(has_block_character(drawn)) << drawn;
    // Red and blue, in the terminal's 256 colours.
    EXPECT_NE(drawn.find("\x1b["), std::string::npos);
    // As wide as the terminal (a 2:1 picture on 80 columns), and no taller
    // than its rows but two.
    int rows = 0;
    for (std::size_t at = 0; (at = drawn.find('\n', at)) != std::string::npos; ++at) ++rows;
    EXPECT_GE(rows, 10);
    EXPECT_LE(rows, 23);
    EXPECT_TRUE(file_exists(store::ImageCache(dir_.file("zubo/images")).path_of(server_.url("/pic.png"))));
}

TEST_F(ImageView, TheEndOfInputAtThePromptEndsZubo) {
    TerminalRun terminal("", true);
    ASSERT_TRUE(terminal.opened());
    EXPECT_TRUE(test::ends_at_end_of_input([&] { show_image(terminal.run(), server_.url("/pic.png")); }));
    EXPECT_NE(terminal.shown().find("■終了します。"), std::string::npos);
}

TEST_F(ImageView, ACp932TerminalGetsNoBlockCharacters) {
    TerminalRun terminal("\n", false);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/pic.png"));
    const std::string& shown = terminal.shown();
    EXPECT_FALSE(has_block_character(shown));
    EXPECT_NE(shown.find(sjis("■--画像 6x3 ")), std::string::npos);
}

// A terminal with a graphics protocol of its own gets the picture in it,
// sized by its cells in pixels, and no blocks.
TEST_F(ImageView, KittyGetsItsOwnProtocol) {
    ScopedEnv kitty{{"TERM", "xterm-kitty"}};
    TerminalRun terminal("\n", true, 24, 80, 8);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/pic.png"));
    const std::string& shown = terminal.shown();
    const std::size_t image_at = shown.find("\x1b_G");
    ASSERT_NE(image_at, std::string::npos) << shown.substr(0, 300);
    EXPECT_LT(image_at, shown.find("■--画像 6x3 "));
    EXPECT_FALSE(has_block_character(shown.substr(image_at)));
}

TEST_F(ImageView, ASecondLookAsksTheServerNothing) {
    TerminalRun terminal("\n\n", true);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/pic.png"));
    show_image(terminal.run(), server_.url("/pic.png"));
    EXPECT_EQ(server_.request_count(), 1u);
    const std::string& shown = terminal.shown();
    const std::string loading = "■画像を読み込んでいます";
    EXPECT_EQ(shown.find(loading, shown.find(loading) + 1), std::string::npos);
    const std::string prompt = "■--画像 6x3 ";
    EXPECT_NE(shown.find(prompt, shown.find(prompt) + 1), std::string::npos);
}

// Three pictures where two fit: the one shown least recently goes, and a
// second look counts as recent.
TEST_F(ImageView, TheOldestPictureGoesPastTheCachesSize) {
    for (const char* path : {"/a.png", "/b.png", "/c.png"}) server_.serve(path, picture_, 200, "image/png");
    const ImageCacheSettings settings = cache_of(picture_.size() * 2 + picture_.size() / 2);
    const store::ImageCache cache(settings.directory);
    TerminalRun terminal("\n\n\n\n", true);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/a.png"), settings);
    show_image(terminal.run(), server_.url("/b.png"), settings);
    // a is older than b, then looked at again.
    timespec old_times[2] = {{1000, 0}, {1000, 0}};
    timespec older_times[2] = {{500, 0}, {500, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, cache.path_of(server_.url("/a.png")).c_str(), older_times, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, cache.path_of(server_.url("/b.png")).c_str(), old_times, 0), 0);
    show_image(terminal.run(), server_.url("/a.png"), settings);
    show_image(terminal.run(), server_.url("/c.png"), settings);
    EXPECT_TRUE(file_exists(cache.path_of(server_.url("/a.png"))));
    EXPECT_FALSE(file_exists(cache.path_of(server_.url("/b.png"))));
    EXPECT_TRUE(file_exists(cache.path_of(server_.url("/c.png"))));
    EXPECT_EQ(server_.request_count(), 3u);
}

TEST_F(ImageView, ACacheThatCantBeMadeStillShowsThePicture) {
    test::write_file(dir_.file("plain-file"), "");
    TerminalRun terminal("\n", true);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/pic.png"), {dir_.file("plain-file/images"), store::kImageCacheBytes});
    const std::string& shown = terminal.shown();
    EXPECT_NE(shown.find("■画像を読み込んでいます...ok\r\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("■--画像 6x3 "), std::string::npos) << shown;
}

TEST_F(ImageView, WhatCantBeShownIsSaidWithTheReason) {
    server_.serve("/page.png", "<html>moved</html>", 200, "text/html");
    server_.serve("/cut.png", picture_.substr(0, picture_.size() / 2), 200, "image/png");
    server_.serve("/huge.png", test::png_claiming(9000, 9000), 200, "image/png");
    server_.serve("/other.bmp", "BM not read here", 200, "image/bmp");
    server_.serve("/gone.png", "missing", 404, "text/plain");
    TerminalRun terminal("", true);
    ASSERT_TRUE(terminal.opened());
    for (const char* path : {"/page.png", "/cut.png", "/huge.png", "/other.bmp", "/gone.png"}) {
        show_image(terminal.run(), server_.url(path));
    }
    const std::string& shown = terminal.shown();
    const std::string loading = "■画像を読み込んでいます...";
    EXPECT_NE(shown.find(loading + "ok\r\n■画像を表示できません: 画像ではありません (text/html)\r\n"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find(loading + "ok\r\n■画像を表示できません: 壊れています\r\n"), std::string::npos);
    EXPECT_NE(shown.find(loading + "ok\r\n■画像を表示できません: 大きすぎます (9000x9000)\r\n"), std::string::npos);
    EXPECT_NE(shown.find(loading + "ok\r\n■画像を表示できません: 対応していない形式です\r\n"), std::string::npos);
    EXPECT_NE(shown.find(loading + "失敗 (HTTP 404)\r\n"), std::string::npos);
    // Nothing unshowable stays in the cache.
    const store::ImageCache cache(dir_.file("zubo/images"));
    for (const char* path : {"/page.png", "/cut.png", "/huge.png", "/other.bmp"}) {
        EXPECT_FALSE(file_exists(cache.path_of(server_.url(path)))) << path;
    }
}

TEST_F(ImageView, ABodyPastTwentyMegabytesFails) {
    server_.handle("/big.png", [](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_content_provider(kMaxImageBytes + 1, "image/png", [](std::size_t, std::size_t length, BodyWriter& sink) {
            const std::string zeros(length < 65536 ? length : 65536, '\0');
            return sink.write(zeros.data(), zeros.size());
        });
    });
    TerminalRun terminal("", true);
    ASSERT_TRUE(terminal.opened());
    show_image(terminal.run(), server_.url("/big.png"));
    EXPECT_NE(terminal.shown().find("■画像を読み込んでいます...失敗 (大きすぎます)\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zubo
