#pragma once
// ng.txt as the screens read it: the lines that can't be read are said.

#include "documents/ng_rules.h"

namespace zubo {

// The rules of ng.txt in the home, read with the console's encoding; the
// lines that can't be read are reported once per start of zubo. The thread
// list and the thread view share them.
NgRules& read_ng_rules_file();

}  // namespace zubo
