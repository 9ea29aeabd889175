#include "text/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zubo {
namespace {

std::vector<std::string> lines_of(const std::string& bytes, std::size_t buffer_size) {
    std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    std::vector<std::string> lines;
    std::vector<char> buf(buffer_size);
    while (read_line_cut(f, buf.data(), buf.size())) lines.emplace_back(buf.data());
    std::fclose(f);
    return lines;
}

TEST(ReadLineCut, SplitsAtNewlinesAndKeepsThem) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a\nb\n", {"a\n", "b\n"}},
        {"a\n\nlast", {"a\n", "\n", "last"}},
        // An over-long line is one line: its rest is dropped, not a new line.
        {"0123456789\nnext\n", {"01234", "next\n"}},
        {"01234\nx", {"01234", "x"}},
        {"0123\nx", {"0123\n", "x"}},
        // A NUL ends the text of its line and hides nothing after it.
        {std::string("ab\0cd\nef\n", 9), {"ab", "ef\n"}},
        {std::string("a\0bcdefgh\nz", 12), {"a", "z"}},
        // A line that fills the buffer at the end of the file.
        {"x\n01234", {"x\n", "01234"}},
    };
    for (const Case& c : cases) EXPECT_EQ(lines_of(c.bytes, 6), c.lines) << c.bytes;
}

}  // namespace
}  // namespace zubo
