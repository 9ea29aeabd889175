// The pager's command handling with the input as standard input: any
// command bytes, either list kind, short and long lists, both console modes.
// Every prompt reads at least one byte, so each run ends with its input,
// where zubo itself would end: the harness throws instead, and goes on.

#include <cstdio>
#include <string>
#include <vector>

#include "console/console.h"
#include "fuzz_input.h"
#include "net/download.h"
#include "screens/ng_rules_report.h"
#include "screens/pager.h"
#include "screens/run.h"

namespace {

// Labels only; every number the pager asks about is checked.
struct FakeList : zubo::PagerList {
    std::vector<std::string> labels;  // index 0 unused

    int count() const override { return static_cast<int>(labels.size()) - 1; }
    const char* label(int n) const override {
        ZUBO_FUZZ_CHECK(n >= 1 && n < static_cast<int>(labels.size()));
        return labels[static_cast<std::size_t>(n)].c_str();
    }
    // Nothing runs; only the number is checked.
    void open(int n) override { label(n); }
};

struct InputEnded {};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the list; the rest is what the user types.
    static const int kCounts[] = {0, 1, 19, 20, 21, 45, 100};
    std::uint8_t choice = data[0];
    int count = kCounts[(choice & 0x7) % (sizeof kCounts / sizeof kCounts[0])];
    const zubo::PagerKind& kind = (choice & 0x8) ? zubo::kThreadListPager : zubo::kBoardListPager;

    FakeList list;
    list.labels.resize(static_cast<std::size_t>(count) + 1);
    for (int n = 1; n <= count; ++n) {
        list.labels[static_cast<std::size_t>(n)] = (n % 3 ? "board \x83\x58" : "thread \x1b[2J") + std::to_string(n);
    }

    zubo::File in(zubo::fuzz::open_input(data + 1, size - 1));
    static std::FILE* sink = std::fopen("/dev/null", "w");
    if (!in || !sink) return 0;
    zubo::console::Console console;
    console.set_streams(in.get(), sink);
    console.set_utf8((choice & 0x10) != 0);
    console.set_end_of_input_action([] { throw InputEnded{}; });
    zubo::DownloadSession downloads;
    zubo::NgRulesOfRun ng_rules;
    zubo::Run run{console, downloads, nullptr, ng_rules};

    try {
        zubo::run_pager(run, kind, list);
    } catch (const InputEnded&) {
    }
    return 0;
}
