#pragma once
// Primitives on zero-terminated byte strings. They know nothing of Shift_JIS
// character boundaries: every search is a plain byte-substring search.

#include <cstddef>

namespace zubo {

// Splits a writable string on a multi-byte separator, in place: each field
// is ended where its separator began. next() returns the next field, or null
// when no separator follows: the text after the last separator is never
// returned.
class FieldSplitter {
public:
    FieldSplitter(char* text, const char* sep);
    char* next();

private:
    char* rest_;
    const char* sep_;
    std::size_t sep_size_;
};

// Reads a decimal number as the commands give it: leading white space, an
// optional sign, digits up to the first non-digit; no digits give 0. Never
// wraps: a number too large saturates, and so stays out of any list's range.
long long parse_decimal(const char* s);

// Folds an ASCII letter to lower case; every other byte stays as it is.
unsigned char fold_lower(unsigned char c);

// Whether s starts with prefix, comparing ASCII letters without case.
bool starts_with_nocase(const char* s, const char* prefix);

// Copies size bytes of src into a field of field_size bytes, cut to what
// fits, and zero-terminates it.
void copy_field(char* field, std::size_t field_size, const char* src, std::size_t size);

// copy_field for a zero-terminated source; null gives an empty field.
void copy_field(char* field, std::size_t field_size, const char* src);

}  // namespace zubo
