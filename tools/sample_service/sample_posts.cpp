#include "sample_posts.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "loopback_server.h"
#include "sample_board.h"

namespace zubo::sample {
namespace {

constexpr long long kSambaSeconds = 10;
constexpr long long kTimeSlack = 10 * 60;
constexpr long long kTicketSeconds = 14 * 24 * 60 * 60;

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string form_decode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
                   hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The form's fields in order, decoded (CP932).
std::vector<std::pair<std::string, std::string>> form_fields(const std::string& form) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::size_t start = 0;
    while (start <= form.size()) {
        std::size_t end = form.find('&', start);
        if (end == std::string::npos) end = form.size();
        const std::string pair = form.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t eq = pair.find('=');
            fields.emplace_back(form_decode(pair.substr(0, eq)),
                                eq == std::string::npos ? std::string() : form_decode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return fields;
}

// A value inside an attribute or a document line: the markup's characters
// as references. CP932's trail bytes are never among them.
std::string escaped(const std::string& text, bool amp) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += amp ? "&amp;" : "&"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string cookie_value(const std::string& header, const std::string& name) {
    for (std::size_t at = header.find(name + "="); at != std::string::npos; at = header.find(name + "=", at + 1)) {
        if (at > 0 && header[at - 1] != ' ' && header[at - 1] != ';') continue;
        const std::size_t start = at + name.size() + 1;
        return header.substr(start, header.find(';', start) - start);
    }
    return {};
}

std::string page(const char* title_utf8, const char* comment, const std::string& body_cp932) {
    return to_cp932(std::string("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
                                "<title>") + title_utf8 + "</title></head>\n<!-- 2ch_X:" + comment + " -->\n<body>") +
           body_cp932 + "</body></html>\n";
}

PostReply error_reply(const std::string& message_utf8) {
    PostReply reply;
    reply.body = page("ＥＲＲＯＲ！", "error", to_cp932("<b>" + message_utf8 + "</b><br>\n<a href=\"javascript:history.back()\">戻る</a>"));
    return reply;
}

// "2026/12/09(水) 13:05:30.00" in Japan's time, in CP932 as the thread is.
std::string post_date(long long now) {
    static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    const std::time_t jst = static_cast<std::time_t>(now + 9 * 60 * 60);
    std::tm tm{};
    gmtime_r(&jst, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d(%s) %02d:%02d:%02d.00", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, kWeekdays[tm.tm_wday], tm.tm_hour, tm.tm_min, tm.tm_sec);
    return to_cp932(text);
}

// The poster's ID of a day: eight letters from its ticket.
std::string post_id(const std::string& ticket, long long now) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    unsigned long long hash = 1469598103934665603ull ^ static_cast<unsigned long long>((now + 9 * 3600) / 86400);
    for (const char c : ticket) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    std::string id;
    for (int i = 0; i < 8; ++i, hash >>= 6) id += kLetters[hash & 63];
    return id;
}

// An HTTP date for Set-Cookie's expires.
std::string http_date(long long when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

}  // namespace

Service::Service(const std::string& base_url, std::function<long long()> clock)
    : docs_(documents(base_url)), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return static_cast<long long>(std::time(nullptr)); };
}

bool Service::document(const std::string& path, std::string* body) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = docs_.find(path);
    if (it == docs_.end()) return false;
    *body = it->second;
    return true;
}

PostReply Service::post(const std::string& form, const std::string& cookie_header) {
    std::lock_guard<std::mutex> lock(mutex_);
    const long long now = clock_();
    const auto ordered = form_fields(form);
    std::map<std::string, std::string> fields(ordered.begin(), ordered.end());
    const std::string held = cookie_value(cookie_header, "MonaTicket");
    auto known = tickets_.find(held);
    if (held.empty() || known == tickets_.end()) {
        // No ticket: the confirmation, with the form as it came and a value
        // of the service's own that must come back as it was given.
        const std::string ticket = "smpl" + std::to_string(now) + "x" + std::to_string(++issued_);
        Ticket& fresh = tickets_[ticket];
        fresh.feature = "confirmed:" + ticket + "&seq=" + std::to_string(issued_);
        std::string inputs;
        for (const auto& [name, value] : ordered) {
            if (name == "submit" || name == "feature") continue;
            inputs += "<input type=hidden name=\"" + escaped(name, true) + "\" value=\"" + escaped(value, true) + "\">\n";
        }
        inputs += "<input type=hidden name=\"feature\" value=\"confirmed:" + ticket + "&amp;seq&#x3D;" +
                  std::to_string(issued_) + "\">\n";
        PostReply reply;
        reply.headers.emplace_back("Set-Cookie", "MonaTicket=" + ticket + "; expires=" + http_date(now + kTicketSeconds) +
                                                     "; path=/");
        reply.body = page("書き込み確認", "cookie",
                          to_cp932("<font size=+1 color=#FF0000><b>書き込み＆クッキー確認</b></font><br>\n"
                                   "投稿確認<br>\n・投稿者は、投稿に関して発生する責任が全て投稿者に帰すことを承諾します。<br>\n"
                                   "・このサンプルの書き込みは、サービスが止まると消えます。<br>\n"
                                   "<form method=POST action=\"../test/bbs.cgi?guid=ON\">\n") +
                              inputs +
                              to_cp932("<input type=submit value=\"上記全てを承諾して書き込む\" name=\"submit\">\n</form>\n"));
        return reply;
    }
    Ticket& ticket = known->second;
    if (!ticket.confirmed && fields["feature"] != ticket.feature) {
        return error_reply("ＥＲＲＯＲ：確認の値が正しくありません。もう一度書き込んでください。");
    }
    PostReply reply = write(fields, held, ticket, now);
    // The ticket of a confirmation sent back holds from then on, written or not.
    ticket.confirmed = true;
    return reply;
}

PostReply Service::write(const std::map<std::string, std::string>& fields, const std::string& ticket_name,
                         Ticket& ticket, long long now) {
    const auto field = [&](const char* name) {
        const auto it = fields.find(name);
        return it == fields.end() ? std::string() : it->second;
    };
    const long long time = std::strtoll(field("time").c_str(), nullptr, 10);
    if (time < now - kTimeSlack || time > now + kTimeSlack) {
        return error_reply("ＥＲＲＯＲ：投稿時刻がおかしいです。時計を合わせてください。");
    }
    if (ticket.last_post >= 0 && now - ticket.last_post < kSambaSeconds) {
        return error_reply("ＥＲＲＯＲ - 593 " + std::to_string(kSambaSeconds) + " sec たたないと書けません。(1回目、" +
                           std::to_string(now - ticket.last_post) + " sec しかたってない)");
    }
    const std::string board = field("bbs");
    const std::string subject_path = "/" + board + "/subject.txt";
    if (board.empty() || board.find('/') != std::string::npos || !docs_.count(subject_path)) {
        return error_reply("ＥＲＲＯＲ：板が存在しません。");
    }
    std::string message = field("MESSAGE");
    if (message.find_first_not_of(" \r\n") == std::string::npos) return error_reply("ＥＲＲＯＲ：本文がありません！");
    const bool new_thread = fields.find("key") == fields.end();
    std::string key = field("key");
    std::string title = escaped(field("subject"), false);
    if (new_thread) {
        if (title.empty()) return error_reply("ＥＲＲＯＲ：サブジェクトが存在しません！");
        long long number = now;
        while (docs_.count("/" + board + "/dat/" + std::to_string(number) + ".dat")) ++number;
        key = std::to_string(number);
    } else if (key.empty() || key.find_first_not_of("0123456789") != std::string::npos ||
               !docs_.count("/" + board + "/dat/" + key + ".dat")) {
        return error_reply("ＥＲＲＯＲ：該当するスレッドは存在しません。");
    }
    // The body as the service stores it: markup as references, each line
    // break a <br> with spaces around it.
    message = escaped(message, false);
    std::string body;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') continue;
        body += message[i] == '\n' ? std::string(" <br> ") : std::string(1, message[i]);
    }
    std::string name = escaped(field("FROM"), false);
    if (name.empty()) name = to_cp932("名無しさん");
    const std::string mail = escaped(field("mail"), false);
    std::string line = name + "<>" + mail + "<>" + post_date(now) + " ID:" + post_id(ticket_name, now) +
                       "<> " + body + " <>" + (new_thread ? title : std::string()) + "\n";
    std::string& document = docs_["/" + board + "/dat/" + key + ".dat"];
    document += line;
    int posts = 0;
    for (const char c : document) posts += c == '\n';

    // The thread list: the thread's count, and at its top unless sage.
    std::string& subject = docs_[subject_path];
    std::istringstream lines(subject);
    std::vector<std::string> rows;
    std::string own;
    std::size_t place = 0;
    const std::string own_start = key + ".dat<>";
    for (std::string text; std::getline(lines, text);) {
        if (text.compare(0, own_start.size(), own_start) == 0) {
            const std::size_t count = text.rfind(" (");
            own = text.substr(0, count == std::string::npos ? text.size() : count) + " (" + std::to_string(posts) + ")";
            place = rows.size();
            continue;
        }
        rows.push_back(text);
    }
    if (new_thread) own = own_start + title + " (1)";
    const bool sage = mail.find("sage") != std::string::npos && !new_thread;
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(sage ? place : 0), own);
    std::string updated;
    for (const std::string& text : rows) updated += text + "\n";
    subject = updated;

    ticket.last_post = now;
    PostReply reply;
    reply.headers.emplace_back("x-resnum", std::to_string(posts));
    reply.body = page("書きこみました。", "true",
                      to_cp932("書きこみが終わりました。<br><br>\n画面を切り替えるまでしばらくお待ち下さい。<br>\n"));
    return reply;
}

void Service::serve_on(LoopbackServer& server) {
    server.handle_others([this](const LoopbackRequest& req, LoopbackResponse& res) {
        const std::string path = path_of(req.path);
        if (req.method == "POST") {
            if (path != "/test/bbs.cgi") {
                res.status = 404;
                res.set_content("404 Not Found\n", "text/plain");
                return;
            }
            PostReply reply = post(req.body, req.header("Cookie"));
            res.status = reply.status;
            for (const auto& [name, value] : reply.headers) res.set_header(name, value);
            res.set_content(reply.body, "text/html; charset=Shift_JIS");
            return;
        }
        std::string body;
        if (!document(path, &body)) {
            res.status = 404;
            res.set_content("404 Not Found\n", "text/plain");
            return;
        }
        const bool html = path.size() > 5 && path.compare(path.size() - 5, 5, ".html") == 0;
        res.set_content(body, path == kPicturePath ? "image/png"
                              : html               ? "text/html; charset=Shift_JIS"
                                                   : "text/plain; charset=Shift_JIS");
    });
}

}  // namespace zubo::sample
