#pragma once
// ng.txt as the screens read it: the lines that can't be read are said.

#include "documents/ng_rules.h"

namespace zubo {

namespace console {
class Console;
}

// ng.txt as one run reads it. It holds NgRules: it lives on the stack (main
// keeps the run's).
class NgRulesOfRun {
public:
    // The rules of ng.txt in the home, read with the console's encoding; the
    // lines that can't be read are reported once per start of zubo. The
    // thread list and the thread view share them.
    NgRules& read(console::Console& console);

private:
    NgRulesCache cache_;
    bool reported_ = false;
};

}  // namespace zubo
