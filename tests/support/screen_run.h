#pragma once
// A run for the screens under test: a ConsoleCapture for its console, a
// download session of its own, ng.txt as the working directory has it, and
// no read state. It holds NgRules: it lives on the stack.

#include <string>

#include "net/download.h"
#include "screens/ng_rules_report.h"
#include "screens/run.h"
#include "support/console_capture.h"

namespace zubo::test {

class ScreenRun : public ConsoleCapture {
public:
    explicit ScreenRun(const std::string& input = "", bool utf8 = false) : ConsoleCapture(input, utf8) {}

    Run& run() { return run_; }

private:
    DownloadSession downloads_;
    NgRulesOfRun ng_rules_;
    Run run_{*this, downloads_, nullptr, ng_rules_};
};

}  // namespace zubo::test
