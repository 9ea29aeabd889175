#include "screens/ng_rules_report.h"

#include <vector>

#include "console/console.h"
#include "console/messages.h"

namespace zubo {

NgRules& read_ng_rules_file() {
    static NgRulesCache cache;
    static bool reported = false;
    std::vector<int> bad_lines;
    NgRules& rules = read_ng_rules_file(cache, console::utf8(), &bad_lines);
    if (!reported) {
        for (int line : bad_lines) console::print(messages::ng_rules_bad_line, line);
        reported = !bad_lines.empty();
    }
    return rules;
}

}  // namespace zubo
