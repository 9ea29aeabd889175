// The built zubo from its start to the board list, as a user runs it: the
// options, the menu cache and its download, and leaving.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/e2e.h"
#include "support/encoding.h"
#include "support/files.h"
#include "loopback_server.h"
#include "support/run_zubo.h"
#include "support/temp_dir.h"

namespace zubo::test {
namespace {

constexpr char kMenuUrl[] = "http://menu.5ch.io/bbsmenu.html";

const std::vector<MenuBoard> kBoards = {
    {"http://news.example.invalid/news/", "ニュース速報"},
    {"http://game.example.invalid/game/", "ゲーム"},
    {"http://life.example.invalid/life/", "生活全般"},
};

const char kUsage[] = "zubo (varsion 0.04) ２ちゃんねるブラウザ\n-h : ヘルプ(これ)\n-n : 板リスト更新\n-u : UTF-8で表示\n"
                      "-s : Shift_JISで表示\n-v : バージョン\nURL : そのスレッドか板を開く\n";
std::string downloading(const std::string& outcome = "ok\n") {
    return sjis("■板リストファイルをダウンロードしています...\n" + outcome);
}

class E2eBoardList : public ::testing::Test {
protected:
    TempDir dir_;
    LoopbackServer proxy_;
    std::string cache_ = dir_.file("italist.txt");

    // Without a locale given, zubo runs with -s first: the expected screens
    // are Shift_JIS.
    ZuboRun run(std::vector<std::string> args, const std::string& input, std::string proxy = "",
                const std::string& lang = "") {
        ZuboOptions options;
        if (lang.empty()) args.insert(args.begin(), "-s");
        options.args = std::move(args);
        options.input = input;
        options.cwd = dir_.path();
        options.env = {{"http_proxy", proxy.empty() ? proxy_.url("") : proxy}};
        if (!lang.empty()) options.env.emplace_back("LANG", lang);
        options.timeout_seconds = 10;
        return run_zubo(options);
    }
};

TEST_F(E2eBoardList, HelpPrintsUsageAndEnds) {
    // Every option is read first: -n beside -h neither downloads nor
    // touches the menu, and -u or a UTF-8 locale print the usage in UTF-8.
    struct Case {
        std::vector<std::string> args;
        std::string lang;
        bool utf8;
    } cases[] = {
        {{"-h"}, "", false},
        {{"/H"}, "", false},
        {{"--help"}, "", false},
        {{"-help", "-n"}, "", false},
        {{"-n", "-h"}, "", false},
        {{"-h", "-u"}, "", true},
        {{"-h"}, "C.UTF-8", true},
        {{"-h"}, "C", true},
        {{"-u", "-h", "-s"}, "POSIX", false},
    };
    const std::string menu = board_menu(kBoards);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") + " " + c.lang);
        write_file(cache_, menu);
        ZuboRun r = run(c.args, "e\n", "", c.lang);
        expect_clean_exit(r);
        EXPECT_EQ(r.out, c.utf8 ? std::string(kUsage) : sjis(kUsage));
        EXPECT_EQ(read_file(cache_), menu);
        EXPECT_EQ(proxy_.request_count(), 0u);
    }
}

// What was asked for (-v) goes to standard output; an unknown option's
// line and the usage go to standard error, in the console's encoding.
TEST_F(E2eBoardList, VersionAndUnknownOptionsEndAtOnce) {
    struct Case {
        std::vector<std::string> args;
        std::string lang;
        std::string out, err;
        int status;
    } cases[] = {
        {{"-v"}, "", "zubo (varsion 0.04)\n", "", 0},
        {{"--version", "-n"}, "", "zubo (varsion 0.04)\n", "", 0},
        {{"-x"}, "", "", "■不明なオプションです: -x\n" + std::string(kUsage), 2},
        {{"-h", "--bogus", "-y"}, "", "", "■不明なオプションです: --bogus\n" + std::string(kUsage), 2},
        {{"-x", "-u"}, "C", "", "■不明なオプションです: -x\n" + std::string(kUsage), 2},
        {{"-v", "-u"}, "C", "zubo (varsion 0.04)\n", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.lang);
        ZuboRun r = run(c.args, "e\n", "", c.lang);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, c.status);
        const bool utf8 = !c.lang.empty();
        EXPECT_EQ(r.out, utf8 ? c.out : sjis(c.out));
        EXPECT_EQ(r.err, utf8 ? c.err : sjis(c.err));
    }
    EXPECT_FALSE(file_exists(cache_));
    EXPECT_EQ(proxy_.request_count(), 0u);
}

TEST_F(E2eBoardList, MissingCacheIsDownloadedThroughTheProxy) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool stale_cache;
    } cases[] = {
        {"first start", {}, false},
        {"-n refreshes", {"-n"}, true},
    };
    const std::string menu = board_menu(kBoards);
    proxy_.serve(kMenuUrl, menu);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t before = proxy_.request_count();
        if (c.stale_cache) write_file(cache_, board_menu({{"http://old.example.invalid/old/", "古い板"}}));

        ZuboRun r = run(c.args, "e\n");
        expect_clean_exit(r);
        EXPECT_EQ(r.out, downloading() + board_list_page(kBoards) + leaving());
        ASSERT_EQ(proxy_.request_count(), before + 1);
        EXPECT_EQ(proxy_.requests().back().target, kMenuUrl);
        EXPECT_EQ(read_file(cache_), menu);
    }
}

TEST_F(E2eBoardList, ExistingCacheIsUsedWithoutARequest) {
    write_file(cache_, board_menu(kBoards));
    // (An argument that is no option is a link: E2eLinks.)
    for (std::vector<std::string> args : {std::vector<std::string>{}, {"-s"}}) {
        ZuboRun r = run(args, "e\n");
        expect_clean_exit(r);
        EXPECT_EQ(r.out, board_list_page(kBoards) + leaving());
    }
    EXPECT_EQ(proxy_.request_count(), 0u);
}

TEST_F(E2eBoardList, RefreshThatFailsKeepsTheMenu) {
    const std::string menu = board_menu(kBoards);
    write_file(cache_, menu);
    const std::string offline = closed_url();
    ZuboRun r = run({"-n"}, "e\n", offline);
    expect_clean_exit(r);
    EXPECT_EQ(r.out, downloading("失敗 (接続できません)\n") + board_list_page(kBoards) + leaving());
    EXPECT_TRUE(read_file(cache_) == menu);
    // No temporary file of the failed download either.
    EXPECT_EQ(names_in(dir_.path()), plus_read_state({"italist.txt"}));
}

TEST_F(E2eBoardList, EndOfInputAtThePromptEndsZubo) {
    write_file(cache_, board_menu(kBoards));
    ZuboRun r = run({}, "");
    expect_clean_exit(r);
    EXPECT_EQ(r.out, board_list_page(kBoards) + "\n" + leaving());
}

TEST_F(E2eBoardList, Utf8ConsoleUnlessTheLocaleOrAnOptionSaysShiftJis) {
    write_file(cache_, board_menu(kBoards));
    for (const char* lang : {"C.UTF-8", "C", "POSIX"}) {
        ZuboRun r = run({}, "e\n", "", lang);
        expect_clean_exit(r);
        EXPECT_EQ(r.out, utf8(board_list_page(kBoards) + leaving())) << lang;
    }
}

TEST_F(E2eBoardList, MenuWithoutMarkerIsStrange) {
    const std::string no_marker = sjis("<HTML><BODY>\n<A HREF=http://news.example.invalid/news/>ニュース</A><br>\n"
                                       "</BODY></HTML>\n");
    const std::string strange = sjis("■ファイルが変です。\n");

    write_file(cache_, no_marker);
    ZuboRun cached = run({}, "e\n");
    expect_clean_exit(cached, 1);
    EXPECT_EQ(cached.out, strange);

    // A page in place of the menu never replaces the copy, whatever it is.
    const std::string page = sjis("<html><body>メンテナンス中</body></html>\n");
    for (const std::string& answer : {no_marker, page}) {
        write_file(cache_, board_menu(kBoards));
        proxy_.serve(kMenuUrl, answer);
        ZuboRun downloaded = run({"-n"}, "e\n");
        expect_clean_exit(downloaded);
        EXPECT_EQ(downloaded.out, sjis("■板リストファイルをダウンロードしています...\n失敗 (板一覧ではありません)\n") + board_list_page(kBoards) + leaving());
        EXPECT_EQ(read_file(cache_), board_menu(kBoards));
    }
}

TEST_F(E2eBoardList, MenuThatCannotBeDownloadedEndsTheProgram) {
    proxy_.serve(kMenuUrl, "<html>404 Not Found</html>", 404);
    struct Case {
        const char* name;
        std::string proxy;
        std::string outcome;
    } cases[] = {
        {"proxy not listening", closed_url(), "失敗 (接続できません)\n"},
        {"menu answers 404", proxy_.url(""), "失敗 (HTTP 404)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZuboRun r = run({}, "1\ne\n", c.proxy);
        expect_clean_exit(r, 1);
        EXPECT_EQ(r.out, downloading(c.outcome) + sjis("■板リストファイルを開けません。終了します。\n"));
        // Neither the cache nor a temporary file of the failed download.
        EXPECT_EQ(names_in(dir_.path()), plus_read_state({}));
    }
}

}  // namespace
}  // namespace zubo::test
