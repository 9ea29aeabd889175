#include "support/text.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace zubo::test {
namespace {

bool convert(const char* to, const char* from, const std::string& in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return false;
    buffer.resize(buffer.size() - dst_left);
    *out = buffer;
    return true;
}

}  // namespace

std::string sjis(const std::string& utf8_text) {
    std::string out;
    EXPECT_TRUE(convert("CP932", "UTF-8", utf8_text, &out)) << "not convertible: " << utf8_text;
    return out;
}

std::string utf8(const std::string& cp932) {
    std::string out;
    EXPECT_TRUE(convert("UTF-8", "CP932", cp932, &out)) << "not CP932";
    return out;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string real_fixture_path(const std::string& name) { return std::string(ZUBO_REAL_FIXTURES) + "/" + name; }

std::string real_fixture(const std::string& name) {
    std::string path = real_fixture_path(name);
    EXPECT_TRUE(file_exists(path)) << path;
    return read_file(path);
}

}  // namespace zubo::test
