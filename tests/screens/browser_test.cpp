#include "screens/browser.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

using Words = std::vector<std::string>;

TEST(BrowserCommand, BrowsersWordsTheLinkInPlaceOfPercentSOrLast) {
    const std::string url = "http://a.jp/x?q=%s";
    EXPECT_EQ(browser_command("w3m", "", url), (Words{"w3m", url}));
    EXPECT_EQ(browser_command("  firefox\t--new-window  ", "", url), (Words{"firefox", "--new-window", url}));
    EXPECT_EQ(browser_command("lynx -dump %s -x", "", url), (Words{"lynx", "-dump", url, "-x"}));
    // Each %s, in a word too; the link's own %s stays as it is.
    EXPECT_EQ(browser_command("open --url=%s", "", url), (Words{"open", "--url=" + url}));
    // No shell: quotes and semicolons are the words' own bytes.
    EXPECT_EQ(browser_command("b;rm '%s'", "", url), (Words{"b;rm", "'" + url + "'"}));
}

TEST(BrowserCommand, WithoutBrowserXdgOpenWhenItIsOnThePath) {
    test::TempDir dir;
    const std::string bin = dir.file("bin");
    mkdir(bin.c_str(), 0700);
    EXPECT_EQ(browser_command(nullptr, bin.c_str(), "http://a.jp"), Words{});
    EXPECT_EQ(browser_command("  ", bin.c_str(), "http://a.jp"), Words{});
    // Not executable: no program.
    test::write_file(bin + "/xdg-open", "#!/bin/sh\n");
    EXPECT_EQ(browser_command(nullptr, ("/nowhere:" + bin).c_str(), "http://a.jp"), Words{});
    chmod((bin + "/xdg-open").c_str(), 0755);
    EXPECT_EQ(browser_command(nullptr, ("/nowhere:" + bin).c_str(), "http://a.jp"), (Words{"xdg-open", "http://a.jp"}));
    EXPECT_EQ(browser_command(nullptr, nullptr, "http://a.jp"), Words{});
}

}  // namespace
}  // namespace zubo
