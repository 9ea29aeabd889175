#include "store/image_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace zubo::store {
namespace {

// FNV-1a over 128 bits: names that two URLs share by chance are never met
// in a cache of this size.
std::string hash_name(const std::string& text) {
    using u128 = unsigned __int128;
    u128 hash = (static_cast<u128>(0x6c62272e07bb0142ULL) << 64) | 0x62b821756295c58dULL;
    const u128 prime = (static_cast<u128>(1) << 88) | 0x13b;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= prime;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string name(32, '0');
    for (int i = 31; i >= 0; --i) {
        name[static_cast<std::size_t>(i)] = kHex[static_cast<unsigned>(hash & 0xF)];
        hash >>= 4;
    }
    return name;
}

struct Kept {
    std::string name;
    timespec modified;
    std::uintmax_t size;
};

bool older(const Kept& a, const Kept& b) {
    if (a.modified.tv_sec != b.modified.tv_sec) return a.modified.tv_sec < b.modified.tv_sec;
    if (a.modified.tv_nsec != b.modified.tv_nsec) return a.modified.tv_nsec < b.modified.tv_nsec;
    return a.name < b.name;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

std::string image_cache_directory() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + "/zubo/images";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/zubo/images";
    return "";
}

ImageCache::ImageCache(std::string directory, std::uintmax_t limit_bytes)
    : directory_(std::move(directory)), limit_(limit_bytes) {}

std::string ImageCache::path_of(const std::string& url) const {
    if (directory_.empty()) return "";
    return directory_ + "/" + hash_name(url);
}

bool ImageCache::prepare() const {
    if (directory_.empty()) return false;
    for (std::size_t slash = directory_.find('/', 1);; slash = directory_.find('/', slash + 1)) {
        const std::string above = directory_.substr(0, slash);
        if (mkdir(above.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info;
    return stat(directory_.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && access(directory_.c_str(), W_OK) == 0;
}

std::optional<std::string> ImageCache::take(const std::string& url) const {
    const std::string path = path_of(url);
    if (path.empty()) return std::nullopt;
    Fd file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(file.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        got += static_cast<std::size_t>(n);
    }
    // Shown now: the newest of the cache. A cache that can't be dated only
    // forgets it sooner.
    futimens(file.fd, nullptr);
    return bytes;
}

void ImageCache::forget(const std::string& url) const {
    const std::string path = path_of(url);
    if (!path.empty()) unlink(path.c_str());
}

void ImageCache::trim() const {
    if (directory_.empty()) return;
    std::unique_ptr<DIR, DirCloser> dir(opendir(directory_.c_str()));
    if (!dir) return;
    std::vector<Kept> kept;
    std::uintmax_t total = 0;
    while (const dirent* entry = readdir(dir.get())) {
        // Hidden names are downloads under way.
        if (entry->d_name[0] == '.') continue;
        struct stat info;
        if (fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        kept.push_back({entry->d_name, info.st_mtim, static_cast<std::uintmax_t>(info.st_size)});
        total += static_cast<std::uintmax_t>(info.st_size);
    }
    std::sort(kept.begin(), kept.end(), older);
    for (const Kept& file : kept) {
        if (total <= limit_) break;
        if (unlinkat(dirfd(dir.get()), file.name.c_str(), 0) == 0) total -= file.size;
    }
}

}  // namespace zubo::store
