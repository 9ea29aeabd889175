#pragma once
// Builders of the service's documents for the tests: a thread document, a
// line per post, from its posts' fields.

#include <string>

namespace zubo::test {

// A post's fields as its line in a thread document holds them.
struct DatFields {
    std::string name, mail, date, body;
};

// The post's line: each field ended by the separator, then a newline.
inline std::string dat_line(const DatFields& post) {
    return post.name + "<>" + post.mail + "<>" + post.date + "<>" + post.body + "<>\n";
}

// A thread document of count posts, post n's fields given by fields(n).
template <typename Fields>
std::string thread_document(int count, Fields fields) {
    std::string doc;
    for (int n = 1; n <= count; ++n) doc += dat_line(fields(n));
    return doc;
}

}  // namespace zubo::test
