#pragma once
// Byte helpers for tests: the program speaks CP932, tests are written in
// UTF-8.

#include <string>

namespace zubo::test {

// CP932 bytes of a UTF-8 text (iconv; the test fails on a bad spelling).
std::string sjis(const std::string& utf8);
// UTF-8 spelling of CP932 bytes; empty and a test failure if they don't
// convert.
std::string utf8(const std::string& cp932);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// A document of the service from the shared real fixtures.
std::string real_fixture_path(const std::string& name);
std::string real_fixture(const std::string& name);

}  // namespace zubo::test
