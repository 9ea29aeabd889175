#pragma once
// Runs a table parser over a text held in memory, as if it were the file.

#include <cstdio>
#include <string>
#include <vector>

namespace zubo::test {

template <typename Record, typename Result>
struct ParsedTable {
    Result result;
    std::vector<Record> records;  // records[0] is entry number 1
};

// parse(FILE*, Record* table) fills a table of the given number of slots.
template <typename Record, typename Parse>
auto parse_text(const std::string& text, int slots, Parse parse) {
    using Result = decltype(parse(static_cast<std::FILE*>(nullptr), static_cast<Record*>(nullptr)));
    std::vector<Record> table(static_cast<std::size_t>(slots));
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    ParsedTable<Record, Result> parsed{parse(f, table.data()), {}};
    std::fclose(f);
    parsed.records.assign(table.begin() + 1, table.begin() + 1 + parsed.result.count);
    return parsed;
}

}  // namespace zubo::test
