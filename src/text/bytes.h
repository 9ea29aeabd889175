#pragma once
// Primitives on zero-terminated byte strings. They know nothing of Shift_JIS
// character boundaries: every search is a plain byte-substring search.

#include <cstddef>

namespace zubo {

// Splits a string on a multi-byte separator, keeping its place between
// calls. Given a string, starts on a private copy of it; given null, goes on
// in the current copy. Returns the next field, or null when no separator
// follows: the text after the last separator is never returned.
char* split_next(const char* str, const char* sep);

// Replaces the first occurrence of find in s, in place, by repl (which must
// not be longer than find). An empty find changes nothing. Returns 1 if a
// replacement was made, else 0.
int replace_first(char* s, const char* find, const char* repl);

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
