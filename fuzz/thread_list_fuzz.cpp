// The thread-list parser over any bytes: no overrun, and every field is a
// token, free of the delimiters that end tokens.

#include <vector>

#include "documents/thread_listing.h"
#include "fuzz_input.h"

using zubo::ThreadRecord;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<ThreadRecord> table(zubo::kThreadTableSize);
    zubo::File in(zubo::fuzz::open_input(data, size));
    if (!in) return 0;

    zubo::ThreadListing listing = zubo::parse_subject(in.get(), table.data());
    ZUBO_FUZZ_CHECK(listing.count >= 0 && listing.count < zubo::kThreadTableSize);
    ZUBO_FUZZ_CHECK(!listing.over_limit || listing.count == zubo::kThreadTableSize - 1);
    for (int n = 1; n <= listing.count; ++n) {
        for (const char* field : {table[n].dat_name, table[n].title}) {
            ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(field, zubo::kFieldSize));
            ZUBO_FUZZ_CHECK(std::strpbrk(field, "<>\n") == nullptr);
        }
        ZUBO_FUZZ_CHECK(table[n].dat_name[0] != '\0' || table[n].title[0] == '\0');
    }
    return 0;
}
