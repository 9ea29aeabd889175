// Compiled by the tests, which expect the compiler to refuse it (but the
// control, which holds the same types where they belong).
#include <memory>
#include <vector>

#include "documents/post_table.h"
#include "text/multi_search.h"

void use() { zubo::PostTable table; zubo::MultiSearch search; zubo::gc::Table<int> ints(3); (void)table; (void)search; (void)ints; }
