#include "documents/thread_source.h"

#include <gtest/gtest.h>

namespace zubo {
namespace {

TEST(ArchiveUrl, KeysOfFourDigitsOrMoreHaveAPlaceInTheArchive) {
    const char* board = "https://example.5ch.io/news/";
    struct Case {
        const char* dat_name;
        const char* url;  // null: no place
    } cases[] = {
        {"1231808850.dat", "https://example.5ch.io/news/oyster/1231/1231808850.dat"},
        {"123180885.dat", "https://example.5ch.io/news/oyster/1231/123180885.dat"},
        {"1234.dat", "https://example.5ch.io/news/oyster/1234/1234.dat"},
        {"123.dat", nullptr},
        {".dat", nullptr},
        {"1231808850", nullptr},
        {"1231808850.dat.html", nullptr},
        {"1231808850.DAT", nullptr},
        {"12a4567890.dat", nullptr},
        {"-1234567890.dat", nullptr},
    };
    for (const Case& c : cases) {
        const char* url = archive_url(board, c.dat_name);
        if (!c.url) EXPECT_EQ(url, nullptr) << c.dat_name;
        else EXPECT_STREQ(url, c.url) << c.dat_name;
    }
}

}  // namespace
}  // namespace zubo
