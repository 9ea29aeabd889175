#include "documents/post_form.h"

#include "text/sjis.h"

namespace zubo {

namespace {

// SCHEME://HOST of a URL; the whole URL when it has no "://".
std::string origin_of(const std::string& url) {
    const std::size_t scheme_end = url.find("://");
    if (scheme_end == std::string::npos) return url;
    const std::size_t host_end = url.find('/', scheme_end + 3);
    return host_end == std::string::npos ? url : url.substr(0, host_end);
}

void add_field(std::string& out, const char* name, std::string_view value) {
    if (!out.empty()) out += '&';
    out += name;
    out += '=';
    out += form_encode(value);
}

// The service's button labels, in CP932.
constexpr char kSubmitReply[] = "\x8f\x91\x82\xab\x8d\x9e\x82\xde";  // 書き込む
constexpr char kSubmitThread[] = "\x90\x56\x8b\x4b\x83\x58\x83\x8c\x83\x62\x83\x68\x8d\xec\x90\xac";  // 新規スレッド作成
constexpr char kSubmitConfirm[] =
    "\x8f\xe3\x8b\x4c\x91\x53\x82\xc4\x82\xf0\x8f\xb3\x91\xf8\x82\xb5\x82\xc4\x8f\x91\x82\xab\x8d\x9e\x82"
    "\xde";  // 上記全てを承諾して書き込む

// The code point of the UTF-8 sequence at text[i], and its length in *size;
// an invalid byte is taken as itself, one byte long.
char32_t next_code_point(std::string_view text, std::size_t i, std::size_t* size) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        *size = 1;
        return lead;
    }
    char32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) {
            *size = 1;
            return lead;
        }
        code = (code << 6) | (byte(i + k) & 0x3f);
    }
    *size = length;
    return code;
}

}  // namespace

std::string form_encode(std::string_view cp932) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(cp932.size() * 3);
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const char c = cp932[i];
        const auto byte = static_cast<unsigned char>(c);
        // A line break is CR LF on the wire, however it came: a value read
        // back from a page has it so already.
        if (c == '\r' && i + 1 < cp932.size() && cp932[i + 1] == '\n') continue;
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '.' || byte == '_' || byte == '*') {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else if (byte == '\n') {
            out += "%0D%0A";
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

std::string cp932_for_post(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        const char32_t code = next_code_point(utf8, i, &length);
        std::size_t size = 0;
        const char* bytes = sjis::from_code_point(code, &size);
        if (bytes) {
            out.append(bytes, size);
        } else {
            out += "&#" + std::to_string(static_cast<unsigned long>(code)) + ';';
        }
        i += length;
    }
    return out;
}

std::string post_url(const PostPlace& place) { return origin_of(place.board_url) + "/test/bbs.cgi"; }

std::string post_referer(const PostPlace& place) {
    if (place.key.empty()) return place.board_url;
    return origin_of(place.board_url) + "/test/read.cgi/" + place.board + "/" + place.key + "/";
}

std::string post_form_body(const PostPlace& place, const PostDraft& draft, long long time) {
    const bool new_thread = place.key.empty();
    std::string out;
    add_field(out, "FROM", draft.name);
    add_field(out, "mail", draft.mail);
    add_field(out, "MESSAGE", draft.body);
    if (new_thread) add_field(out, "subject", draft.title);
    add_field(out, "bbs", place.board);
    if (!new_thread) add_field(out, "key", place.key);
    add_field(out, "time", std::to_string(time));
    add_field(out, "submit", new_thread ? kSubmitThread : kSubmitReply);
    add_field(out, "oekaki_thread1", "");
    return out;
}

std::string confirm_form_body(const ConfirmForm& form) {
    std::string out;
    for (const auto& [name, value] : form.inputs) {
        if (!out.empty()) out += '&';
        out += form_encode(name);
        out += '=';
        out += form_encode(value);
    }
    add_field(out, "submit", kSubmitConfirm);
    return out;
}

}  // namespace zubo
