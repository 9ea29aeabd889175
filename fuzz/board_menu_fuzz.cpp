// The board-menu parser over any bytes: no overrun, and the table holds
// only well-formed records.

#include <vector>

#include "documents/board_menu.h"
#include "fuzz_input.h"

using zubo::BoardRecord;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A heap block of exactly the table's size, so the sanitizer sees its
    // bounds.
    static std::vector<BoardRecord> table(zubo::kBoardTableSize);
    zubo::File in(zubo::fuzz::open_input(data, size));
    if (!in) return 0;

    zubo::BoardMenu menu = zubo::parse_board_menu(in.get(), table.data());
    ZUBO_FUZZ_CHECK(menu.count >= 0 && menu.count < zubo::kBoardTableSize);
    ZUBO_FUZZ_CHECK(menu.marker_found || menu.count == 0);
    ZUBO_FUZZ_CHECK(!menu.over_limit || menu.count == zubo::kBoardTableSize - 1);
    for (int n = 1; n <= menu.count; ++n) {
        ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(table[n].url, zubo::kFieldSize));
        ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(table[n].name, zubo::kFieldSize));
        // The address ends at the first '>', so none is left in it.
        ZUBO_FUZZ_CHECK(std::strchr(table[n].url, '>') == nullptr);
    }
    return 0;
}
