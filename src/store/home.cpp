#include "store/home.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zubo {
namespace {

constexpr char kBoardsDirectory[] = "boards/";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Creates one directory; an existing directory counts as made.
bool make_one(const std::string& path) {
    if (mkdir(path.c_str(), 0700) == 0) return true;
    struct stat info;
    if (errno != EEXIST || stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return true;
    errno = ENOTDIR;  // a file in the directory's place
    return false;
}

}  // namespace

std::string home_path() {
    std::string home = environment("ZUBO_HOME");
    if (!home.empty()) return home;
    std::string data = environment("XDG_DATA_HOME");
    if (!data.empty() && data[0] == '/') return data + "/zubo";
    std::string user = environment("HOME");
    if (!user.empty()) return user + "/.local/share/zubo";
    return "";
}

int make_directories(const std::string& path) {
    if (path.empty()) return ENOENT;
    // Usually it is there already: one call instead of two for each parent.
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    // Each parent in turn, then the directory itself.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (!make_one(path.substr(0, slash))) return errno;
    }
    if (!make_one(path)) return errno;
    return 0;
}

int write_probe(const std::string& path) {
    std::string probe = path + "/.write-probe-XXXXXX";
    int fd = mkstemp(probe.data());
    if (fd < 0) return errno;
    const ssize_t written = write(fd, "\n", 1);
    int error = written == 1 ? 0 : written < 0 ? errno : ENOSPC;
    if (close(fd) != 0 && error == 0) error = errno;
    if (unlink(probe.c_str()) != 0 && error == 0) error = errno;
    return error;
}

bool is_plain_file_name(const char* name) {
    if (!name[0] || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (*p == '/' || *p == '\\' || *p < 0x20 || *p == 0x7F) return false;
    }
    return true;
}

std::string board_name(const char* url) {
    std::string path = url;
    std::size_t scheme = path.find("://");
    if (scheme != std::string::npos) {
        std::size_t host_end = path.find('/', scheme + 3);
        path = host_end == std::string::npos ? "" : path.substr(host_end);
    }
    path = path.substr(0, path.find_first_of("?#"));
    while (!path.empty() && path.back() == '/') path.pop_back();
    std::string name = path.substr(path.rfind('/') + 1);
    return is_plain_file_name(name.c_str()) ? name : "";
}

std::string board_directory(const std::string& board) { return kBoardsDirectory + board; }

std::string thread_list_path(const std::string& board) { return board_directory(board) + "/subject.txt"; }

std::string thread_directory(const std::string& board) { return board_directory(board) + "/dat"; }

std::string thread_path(const std::string& board, const char* dat_name) {
    return thread_directory(board) + "/" + dat_name;
}

}  // namespace zubo
