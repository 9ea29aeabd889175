#include "text/screen_rows.h"

#include <locale.h>
#include <wchar.h>

#include <algorithm>

#include "text/cp932.h"

namespace zubo {
namespace {

constexpr int kTabStop = 8;
constexpr char32_t kInvalid = 0xFFFFFFFF;

// The C.UTF-8 locale, made at the first UTF-8 measure and freed at exit;
// null when the system has none.
class Utf8Locale {
public:
    Utf8Locale() : locale_(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {}
    ~Utf8Locale() {
        if (locale_) freelocale(locale_);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;
    locale_t get() const { return locale_; }

private:
    locale_t locale_;
};

// Makes a locale the thread's own while it lives; does nothing for null.
class LocaleScope {
public:
    explicit LocaleScope(locale_t locale) : previous_(locale ? uselocale(locale) : static_cast<locale_t>(0)) {}
    ~LocaleScope() {
        if (previous_) uselocale(previous_);
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    locale_t previous_;
};

locale_t utf8_locale() {
    static const Utf8Locale locale;
    return locale.get();
}

// The wide blocks of East Asian text, for a system without C.UTF-8.
int table_width(char32_t c) {
    static constexpr char32_t kWide[][2] = {
        {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
    };
    for (const auto& block : kWide) {
        if (c >= block[0] && c <= block[1]) return 2;
    }
    return 1;
}

int utf8_width(char32_t c, bool have_locale) {
    if (c == kInvalid) return 1;
    if (!have_locale) return table_width(c);
    int width = wcwidth(static_cast<wchar_t>(c));
    return width < 0 ? 1 : width;
}

// Decodes the UTF-8 character at text[at] into *c; returns its bytes. A
// byte that starts no well-formed character is one character, kInvalid.
std::size_t decode_utf8(std::string_view text, std::size_t at, char32_t* c) {
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t size = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    *c = kInvalid;
    if (size == 0 || text.size() - at < size) return 1;
    char32_t value = size == 1 ? lead : lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 1;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < kSmallest[size] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 1;
    *c = value;
    return size;
}

// The bytes of the SGR sequence at text[at], or 0 when none starts there.
std::size_t sgr_size(std::string_view text, std::size_t at) {
    if (text[at] != '\x1b' || at + 1 >= text.size() || text[at + 1] != '[') return 0;
    std::size_t end = at + 2;
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == ';')) ++end;
    return end < text.size() && text[end] == 'm' ? end + 1 - at : 0;
}

// The rows of the lines put so far: the rows of every ended line, and the
// row of the line being put when anything of it has come.
class RowCounter {
public:
    explicit RowCounter(int width) : width_(std::max(width, 1)) {}

    void put(int columns) {
        columns = std::min(columns, width_);
        if (column_ + columns > width_) {
            ++rows_;
            column_ = 0;
        }
        column_ += columns;
        open_ = true;
    }
    void tab() {
        column_ = std::min((column_ / kTabStop + 1) * kTabStop, width_);
        open_ = true;
    }
    void end_line() {
        ++rows_;
        column_ = 0;
        open_ = false;
    }
    int rows() const { return rows_ + (open_ ? 1 : 0); }

private:
    int width_;
    int column_ = 0;
    int rows_ = 0;
    bool open_ = false;
};

// Puts the character at text[at] that is no line end, tab or SGR sequence;
// returns its bytes.
std::size_t put_character(std::string_view text, std::size_t at, bool utf8, bool have_locale, RowCounter* counter) {
    if (!utf8) {
        std::size_t size = cp932::char_size(text, at);
        counter->put(static_cast<int>(size));
        return size;
    }
    char32_t c = kInvalid;
    std::size_t size = decode_utf8(text, at, &c);
    counter->put(utf8_width(c, have_locale));
    return size;
}

}  // namespace

int screen_rows(std::string_view text, int width, bool utf8) {
    locale_t locale = utf8 ? utf8_locale() : static_cast<locale_t>(0);
    LocaleScope scope(locale);
    RowCounter counter(width);
    for (std::size_t at = 0; at < text.size();) {
        std::size_t sgr = sgr_size(text, at);
        if (sgr) {
            at += sgr;
        } else if (text[at] == '\n') {
            counter.end_line();
            ++at;
        } else if (text[at] == '\t') {
            counter.tab();
            ++at;
        } else {
            at += put_character(text, at, utf8, locale != static_cast<locale_t>(0), &counter);
        }
    }
    return counter.rows();
}

}  // namespace zubo
