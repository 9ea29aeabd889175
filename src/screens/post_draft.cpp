#include "screens/post_draft.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/messages.h"
#include "documents/post_form.h"
#include "store/home.h"
#include "text/sjis.h"

namespace zubo {
namespace {

// The value of the header line that starts with label, when it does.
bool take_header(std::string_view line, const char* label, std::string* value) {
    const std::size_t size = std::strlen(label);
    std::string_view bare(label, size);
    // A label typed without its blank counts too.
    if (line.substr(0, size) != bare) {
        if (size == 0 || bare.back() != ' ' || line.substr(0, size - 1) != bare.substr(0, size - 1)) return false;
        value->assign(line.substr(size - 1));
        return true;
    }
    value->assign(line.substr(size));
    return true;
}

bool write_all(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

std::string draft_path(const std::string& board, const std::string& key) {
    const std::string name = board + "-" + (key.empty() ? std::string("new") : key) + ".txt";
    if (board.empty() || !is_plain_file_name(name.c_str())) return {};
    return "drafts/" + name;
}

std::string draft_text(const PostDraft& draft, bool new_thread) {
    std::string text;
    if (new_thread) text += messages::draft_title_label + draft.title + "\n";
    text += messages::draft_name_label + draft.name + "\n";
    text += messages::draft_mail_label + draft.mail + "\n\n";
    text += draft.body;
    if (!draft.body.empty() && draft.body.back() != '\n') text += "\n";
    return text;
}

PostDraft read_draft_text(std::string_view text) {
    PostDraft draft;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        if (!take_header(line, messages::draft_title_label, &draft.title) &&
            !take_header(line, messages::draft_name_label, &draft.name)) {
            take_header(line, messages::draft_mail_label, &draft.mail);
        }
    }
    draft.body.assign(text);
    while (!draft.body.empty() && (draft.body.back() == '\n' || draft.body.back() == '\r')) draft.body.pop_back();
    return draft;
}

// The one place the user's words turn to CP932: a character CP932 lacks
// (an emoji) goes as its numeric reference, as the service keeps it.
std::string draft_from_file_bytes(const std::string& bytes, bool utf8) {
    if (!utf8) return bytes;
    return cp932_for_post(bytes);
}

std::string draft_file_bytes(const std::string& cp932, bool utf8) {
    if (!utf8) return cp932;
    std::size_t size = 0;
    const char* text = sjis::to_utf8(cp932.data(), cp932.size(), &size);
    return std::string(text, size);
}

bool write_draft_file(const std::string& path, const std::string& bytes) {
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    if (slash != std::string::npos && mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return false;
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool written = fchmod(fd, 0600) == 0 && write_all(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

std::optional<std::string> read_draft_file(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[8192];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

}  // namespace zubo
