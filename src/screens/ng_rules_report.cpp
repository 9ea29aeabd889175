#include "screens/ng_rules_report.h"

#include <vector>

#include "console/console.h"
#include "console/messages.h"

namespace zubo {

NgRules& NgRulesOfRun::read(console::Console& console) {
    std::vector<int> bad_lines;
    NgRules& rules = read_ng_rules_file(cache_, console.utf8(), &bad_lines);
    if (!reported_) {
        for (int line : bad_lines) console.print(messages::ng_rules_bad_line, line);
        reported_ = !bad_lines.empty();
    }
    return rules;
}

}  // namespace zubo
