#pragma once
// The program speaks CP932, tests are written in UTF-8: both directions,
// through the program's own converter.

#include <string>

namespace zubo::test {

// CP932 bytes of a UTF-8 text; the test fails on a text with no CP932 form.
std::string sjis(const std::string& utf8);
// UTF-8 spelling of CP932 bytes; empty and a test failure if they don't
// convert.
std::string utf8(const std::string& cp932);

}  // namespace zubo::test
