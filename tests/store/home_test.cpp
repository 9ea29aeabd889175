#include "store/home.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

void set_or_clear(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
}

TEST(Home, ComesFromZuboHomeThenXdgDataHomeThenHome) {
    struct Case {
        std::optional<std::string> zubo, xdg, home;
        std::string expected;
    } cases[] = {
        {"/z", "/x", "/h", "/z"},
        {"", "/x", "/h", "/x/zubo"},         // empty counts as unset
        {std::nullopt, "rel", "/h", "/h/.local/share/zubo"},  // a relative XDG_DATA_HOME is ignored
        {std::nullopt, std::nullopt, "/h", "/h/.local/share/zubo"},
        {std::nullopt, std::nullopt, std::nullopt, ""},
    };
    const char* names[] = {"ZUBO_HOME", "XDG_DATA_HOME", "HOME"};
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* v = std::getenv(names[i])) saved[i] = v;
    }
    for (const Case& c : cases) {
        set_or_clear(names[0], c.zubo);
        set_or_clear(names[1], c.xdg);
        set_or_clear(names[2], c.home);
        EXPECT_EQ(home_path(), c.expected) << c.expected;
    }
    for (int i = 0; i < 3; ++i) set_or_clear(names[i], saved[i]);
}

TEST(Home, MakesMissingParentsPrivateAndSaysWhyItCannot) {
    test::TempDir dir;
    const std::string home = dir.file("a/b/zubo");
    EXPECT_EQ(make_directories(home), 0);
    EXPECT_EQ(make_directories(home), 0);  // again: already there
    struct stat info;
    ASSERT_EQ(stat(home.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    test::write_file(dir.file("file"), "x");
    EXPECT_EQ(make_directories(dir.file("file/zubo")), ENOTDIR);
    EXPECT_EQ(make_directories(""), ENOENT);
}

TEST(BoardPlace, NameIsTheLastSegmentOfTheBoardsPath) {
    struct Case {
        const char* url;
        const char* name;
    } cases[] = {
        {"https://asahi.5ch.io/news/", "news"},
        {"http://old.2ch.net/news", "news"},
        {"https://host/a/b//", "b"},
        {"https://host/news/?x=1", "news"},
        {"https://host/", ""},
        {"https://host", ""},
        {"https://host/../", ""},
        {"https://host/./", ""},
        {"https://host/a\\b/", ""},
        {"https://host/ne\x01ws/", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(board_name(c.url), c.name) << c.url;
    EXPECT_EQ(thread_path("news", "1.dat"), "boards/news/dat/1.dat");
    EXPECT_EQ(thread_list_path("news"), "boards/news/subject.txt");
}

}  // namespace
}  // namespace zubo
