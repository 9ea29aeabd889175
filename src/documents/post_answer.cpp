#include "documents/post_answer.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "documents/markup.h"
#include "text/char_refs.h"
#include "text/sjis.h"

namespace zubo {

namespace {

// The service's words, in CP932.
constexpr char kTitleDone[] = "\x8f\x91\x82\xab\x82\xb1\x82\xdd\x82\xdc\x82\xb5\x82\xbd";  // 書きこみました
constexpr char kTitleConfirm[] = "\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x8a\x6d\x94\x46";      // 書き込み確認
constexpr char kTitleError[] = "\x82\x64\x82\x71\x82\x71\x82\x6e\x82\x71";                // ＥＲＲＯＲ
constexpr char kBusy[] = "\x82\xa8\x92\x83\x82\xc5\x82\xe0";                              // お茶でも
constexpr char kSeconds[] = "\x95\x62";                                                   // 秒

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Where needle starts in text at or after from, ASCII letters compared
// without case; npos when nowhere.
std::size_t find_nocase(const std::string& text, const std::string& needle, std::size_t from = 0) {
    if (needle.empty() || text.size() < needle.size()) return std::string::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && lower(text[i + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string::npos;
}

std::string trim(const std::string& text) {
    const char* space = " \t\r\n";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The value of the last header line named name (without case), trimmed.
std::string header_value(const std::string& headers, const std::string& name) {
    std::string value;
    std::size_t line = 0;
    while (line < headers.size()) {
        std::size_t end = headers.find('\n', line);
        if (end == std::string::npos) end = headers.size();
        const std::string text = headers.substr(line, end - line);
        if (text.size() > name.size() && text[name.size()] == ':' && find_nocase(text, name) == 0) {
            value = trim(text.substr(name.size() + 1));
        }
        line = end + 1;
    }
    return value;
}

// The text between the first <tag ...> and its </tag>.
std::string element_text(const std::string& page, const std::string& tag) {
    const std::size_t open = find_nocase(page, "<" + tag);
    if (open == std::string::npos) return {};
    const std::size_t start = page.find('>', open);
    if (start == std::string::npos) return {};
    const std::size_t end = find_nocase(page, "</" + tag, start);
    return page.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

// What X says in the page's <!-- 2ch_X:X --> comment.
std::string comment_word(const std::string& page) {
    const std::size_t at = page.find("2ch_X:");
    if (at == std::string::npos) return {};
    std::size_t end = at + 6;
    while (end < page.size() && std::isalnum(static_cast<unsigned char>(page[end]))) ++end;
    return page.substr(at + 6, end - at - 6);
}

std::string rendered(std::string markup) {
    std::vector<char> field(markup.begin(), markup.end());
    field.push_back('\0');
    render_tags(field.data());
    return trim(field.data());
}

// The innermost bold text of the page: the text after the last <b> before
// the first </b>; the body's text when the page has none.
std::string bold_message(const std::string& page) {
    const std::size_t close = find_nocase(page, "</b>");
    if (close != std::string::npos) {
        std::size_t open = std::string::npos;
        for (std::size_t at = find_nocase(page, "<b>"); at != std::string::npos && at < close;
             at = find_nocase(page, "<b>", at + 1)) {
            open = at;
        }
        if (open != std::string::npos) {
            const std::string text = rendered(page.substr(open + 3, close - open - 3));
            if (!text.empty()) return text;
        }
    }
    const std::string body = element_text(page, "body");
    return rendered(body.empty() ? page : body);
}

// A value as a browser reads it: its character references decoded, a
// character CP932 lacks as &#N; (as the browser sends it back).
std::string decode_refs(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size();) {
        CharRef ref{};
        if (value[i] == '&' && value.compare(i, 6, "&apos;") == 0) {
            ref = {'\'', 6};
        } else if (!read_char_ref(value.c_str() + i, &ref)) {
            out += value[i++];
            continue;
        }
        std::size_t size = 0;
        if (const char* bytes = sjis::from_code_point(ref.code_point, &size)) {
            out.append(bytes, size);
        } else {
            out += "&#" + std::to_string(static_cast<unsigned long>(ref.code_point)) + ';';
        }
        i += ref.size;
    }
    return out;
}

// The attribute name's value in a tag's text (from '<' to '>'); whether it has one.
bool attribute(const std::string& tag, const std::string& name, std::string* value) {
    std::size_t i = tag.find_first_of(" \t\r\n");
    while (i != std::string::npos && i < tag.size()) {
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
        const std::size_t name_start = i;
        while (i < tag.size() && tag[i] != '=' && tag[i] != '>' && tag[i] != '/' &&
               !std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        const std::string found = tag.substr(name_start, i - name_start);
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
        std::string found_value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const std::size_t end = tag.find(tag[i], i + 1);
                if (end == std::string::npos) return false;
                found_value = tag.substr(i + 1, end - i - 1);
                i = end + 1;
            } else {
                const std::size_t start = i;
                while (i < tag.size() && tag[i] != '>' && !std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
                found_value = tag.substr(start, i - start);
            }
        } else if (found.empty()) {
            ++i;
            continue;
        }
        if (!found.empty() && find_nocase(found, name) == 0 && found.size() == name.size()) {
            *value = decode_refs(found_value);
            return true;
        }
    }
    return false;
}

// A form's action resolved against the page's URL.
std::string resolve(const std::string& action, const std::string& page_url) {
    if (action.empty()) return page_url;
    if (action.find("://") != std::string::npos) return action;
    const std::size_t scheme_end = page_url.find("://");
    if (scheme_end == std::string::npos) return action;
    if (action.compare(0, 2, "//") == 0) return page_url.substr(0, scheme_end + 1) + action;
    const std::size_t host_end = page_url.find('/', scheme_end + 3);
    const std::string origin = page_url.substr(0, host_end);
    if (action[0] == '/') return origin + action;
    std::string path = host_end == std::string::npos ? "/" : page_url.substr(host_end);
    path = path.substr(0, path.find_first_of("?#"));
    path = path.substr(0, path.rfind('/') + 1);
    std::string rest = action;
    for (;;) {
        if (rest.compare(0, 2, "./") == 0) {
            rest.erase(0, 2);
        } else if (rest.compare(0, 3, "../") == 0) {
            rest.erase(0, 3);
            if (path.size() > 1) path = path.substr(0, path.rfind('/', path.size() - 2) + 1);
        } else {
            break;
        }
    }
    return origin + path + rest;
}

ConfirmForm read_form(const std::string& page, const std::string& page_url) {
    ConfirmForm form;
    const std::size_t open = find_nocase(page, "<form");
    if (open == std::string::npos) return form;
    const std::size_t open_end = page.find('>', open);
    if (open_end == std::string::npos) return form;
    std::string action;
    attribute(page.substr(open, open_end - open + 1), "action", &action);
    form.action = resolve(action, page_url);
    const std::size_t close = find_nocase(page, "</form", open_end);
    for (std::size_t at = find_nocase(page, "<input", open_end); at != std::string::npos && at < close;
         at = find_nocase(page, "<input", at + 1)) {
        const std::size_t end = page.find('>', at);
        if (end == std::string::npos) break;
        const std::string tag = page.substr(at, end - at + 1);
        std::string type, name, value;
        if (!attribute(tag, "type", &type) || find_nocase(type, "hidden") != 0 || type.size() != 6) continue;
        if (!attribute(tag, "name", &name)) continue;
        attribute(tag, "value", &value);
        form.inputs.emplace_back(name, value);
    }
    return form;
}

// The seconds Samba asks to wait, as "593 60 sec" or "Samba24...25 秒" says
// them; 0 when the text says none.
int samba_seconds(const std::string& text) {
    const auto number_at = [&](std::size_t i, std::size_t* end) {
        int seconds = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && seconds < 1000000) {
            seconds = seconds * 10 + (text[i++] - '0');
        }
        *end = i;
        return seconds;
    };
    const auto skip_spaces = [&](std::size_t i) {
        while (i < text.size() && text[i] == ' ') ++i;
        return i;
    };
    for (std::size_t at = text.find("593"); at != std::string::npos; at = text.find("593", at + 1)) {
        if (at > 0 && std::isdigit(static_cast<unsigned char>(text[at - 1]))) continue;
        std::size_t end = skip_spaces(at + 3);
        if (end == at + 3 || end >= text.size() || !std::isdigit(static_cast<unsigned char>(text[end]))) continue;
        const int seconds = number_at(end, &end);
        if (find_nocase(text, "sec", skip_spaces(end)) == skip_spaces(end)) return seconds;
    }
    const std::size_t samba = find_nocase(text, "Samba24");
    if (samba != std::string::npos) {
        for (std::size_t i = samba + 7; i < text.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) continue;
            std::size_t end = i;
            const int seconds = number_at(i, &end);
            const std::size_t after = skip_spaces(end);
            if (text.compare(after, 2, kSeconds) == 0 || find_nocase(text, "sec", after) == after) return seconds;
            i = end;
        }
    }
    return 0;
}

}  // namespace

PostAnswer read_post_answer(long status, const std::string& headers, const std::string& body,
                            const std::string& page_url) {
    PostAnswer answer;
    if (status >= 300 && status < 400) {
        answer.outcome = PostOutcome::kDone;
    } else if (status < 200 || status >= 300) {
        return answer;
    }
    const std::string resnum = header_value(headers, "x-resnum");
    if (!resnum.empty() && std::isdigit(static_cast<unsigned char>(resnum[0]))) {
        answer.post_number = static_cast<int>(std::strtol(resnum.c_str(), nullptr, 10));
    }
    if (answer.outcome == PostOutcome::kDone) return answer;

    const std::string title = trim(element_text(body, "title"));
    const std::string word = comment_word(body);
    const std::string chx = header_value(headers, "x-chx-error");
    if (chx.find("E3000") != std::string::npos || body.find("E3000") != std::string::npos ||
        find_nocase(body, "Broken MonaTicket") != std::string::npos) {
        answer.outcome = PostOutcome::kBrokenTicket;
        answer.message = bold_message(body);
        return answer;
    }
    if (title.find(kTitleConfirm) != std::string::npos || word == "cookie" ||
        find_nocase(chx, "Confirmation") != std::string::npos) {
        answer.outcome = PostOutcome::kConfirm;
        const std::string text = element_text(body, "body");
        answer.message = rendered(text.empty() ? body : text);
        answer.form = read_form(body, page_url);
        return answer;
    }
    if (title.find(kTitleDone) != std::string::npos || word == "true") {
        answer.outcome = PostOutcome::kDone;
        return answer;
    }
    const bool error = title.find(kTitleError) != std::string::npos || find_nocase(title, "ERROR") != std::string::npos ||
                       word == "error" || word == "false" || !chx.empty();
    if (!error && body.find(kBusy) == std::string::npos) return answer;
    answer.message = bold_message(body);
    if (body.find(kBusy) != std::string::npos) {
        answer.outcome = PostOutcome::kBusy;
    } else if (const int seconds = samba_seconds(title + "\n" + answer.message)) {
        answer.outcome = PostOutcome::kWait;
        answer.wait_seconds = seconds;
    } else {
        answer.outcome = PostOutcome::kError;
    }
    return answer;
}

}  // namespace zubo
