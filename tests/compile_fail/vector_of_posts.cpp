// Compiled by the tests, which expect the compiler to refuse it (but the
// control, which holds the same types where they belong).
#include <memory>
#include <vector>

#include "documents/post_table.h"
#include "text/multi_search.h"

void use() { std::vector<zubo::Post> posts; posts.reserve(3); }
