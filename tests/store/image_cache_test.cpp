#include "store/image_cache.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "support/files.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zubo::store {
namespace {

using test::file_exists;
using test::names_in;
using test::ScopedEnv;
using test::TempDir;
using test::write_file;

// Dates the file seconds into the epoch (so tests order files exactly).
void date(const std::string& path, long seconds) {
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

long modified(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_mtime) : -1;
}

TEST(ImageCacheDirectory, AnAbsoluteXdgCacheHomeElseHome) {
    {
        ScopedEnv env{{"XDG_CACHE_HOME", "/tmp/c"}, {"HOME", "/home/u"}};
        EXPECT_EQ(image_cache_directory(), "/tmp/c/zubo/images");
    }
    {
        ScopedEnv env{{"XDG_CACHE_HOME", "relative/c"}, {"HOME", "/home/u"}};
        EXPECT_EQ(image_cache_directory(), "/home/u/.cache/zubo/images");
    }
    {
        ScopedEnv env{{"XDG_CACHE_HOME", std::nullopt}, {"HOME", std::nullopt}};
        EXPECT_EQ(image_cache_directory(), "");
    }
}

TEST(ImageCache, NamesAFileByTheUrlsHash) {
    ImageCache cache("/c");
    const std::string a = cache.path_of("http://a.example/1.png");
    EXPECT_EQ(a, cache.path_of("http://a.example/1.png"));
    EXPECT_NE(a, cache.path_of("http://a.example/2.png"));
    ASSERT_EQ(a.size(), 3u + 32u);
    EXPECT_EQ(a.substr(0, 3), "/c/");
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef", 3), std::string::npos);
    EXPECT_EQ(ImageCache("").path_of("http://a.example/1.png"), "");
}

TEST(ImageCache, PrepareMakesTheDirectoriesAboveIt) {
    TempDir dir;
    ImageCache cache(dir.file("x/zubo/images"));
    EXPECT_TRUE(cache.prepare());
    EXPECT_TRUE(cache.prepare());
    write_file(dir.file("file"), "");
    EXPECT_FALSE(ImageCache(dir.file("file/images")).prepare());
    EXPECT_FALSE(ImageCache("").prepare());
}

TEST(ImageCache, TakeReadsTheKeptFileAndMakesItTheNewest) {
    TempDir dir;
    ImageCache cache(dir.path());
    EXPECT_FALSE(cache.take("http://a/1.png"));
    const std::string path = cache.path_of("http://a/1.png");
    write_file(path, std::string("\x89PNG\0bytes", 10));
    date(path, 1000);
    const auto bytes = cache.take("http://a/1.png");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, std::string("\x89PNG\0bytes", 10));
    EXPECT_GT(modified(path), 1000 + 86400);
    cache.forget("http://a/1.png");
    EXPECT_FALSE(file_exists(path));
}

TEST(ImageCache, TrimRemovesTheOldestUntilTheRestFit) {
    TempDir dir;
    ImageCache cache(dir.path(), 250);
    const std::string a = cache.path_of("a"), b = cache.path_of("b"), c = cache.path_of("c");
    write_file(a, std::string(100, 'a'));
    write_file(b, std::string(100, 'b'));
    write_file(c, std::string(100, 'c'));
    // A download under way is no picture of the cache.
    write_file(dir.file(".x.part-123456"), std::string(1000, 'p'));
    date(a, 3000);
    date(b, 1000);
    date(c, 2000);
    cache.trim();
    EXPECT_FALSE(file_exists(b));
    EXPECT_TRUE(file_exists(a));
    EXPECT_TRUE(file_exists(c));
    EXPECT_TRUE(file_exists(dir.file(".x.part-123456")));
    // At the limit exactly, nothing goes.
    ImageCache(dir.path(), 200).trim();
    EXPECT_EQ(names_in(dir.path()).size(), 3u);
    ImageCache(dir.path(), 0).trim();
    EXPECT_EQ(names_in(dir.path()).size(), 1u);
}

}  // namespace
}  // namespace zubo::store
