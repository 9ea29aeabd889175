#include "support/encoding.h"

#include <gtest/gtest.h>

#include "text/sjis.h"

namespace zubo::test {

std::string sjis(const std::string& utf8_text) {
    std::size_t size = 0;
    const char* converted = zubo::sjis::from_utf8_strict(utf8_text.data(), utf8_text.size(), &size);
    EXPECT_TRUE(converted) << "not convertible: " << utf8_text;
    return converted ? std::string(converted, size) : std::string();
}

std::string utf8(const std::string& cp932) {
    std::size_t size = 0;
    const char* converted = zubo::sjis::to_utf8_strict(cp932.data(), cp932.size(), &size);
    EXPECT_TRUE(converted) << "not CP932";
    return converted ? std::string(converted, size) : std::string();
}

}  // namespace zubo::test
