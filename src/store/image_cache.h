#pragma once
// The pictures kept between runs: one file a picture, named by a hash of
// its URL, in a directory of their own, the oldest removed first once the
// files pass the cache's size.

#include <cstdint>
#include <optional>
#include <string>

namespace zubo::store {

inline constexpr std::uintmax_t kImageCacheBytes = 100u * 1024 * 1024;

// $XDG_CACHE_HOME/zubo/images when XDG_CACHE_HOME is an absolute path,
// else ~/.cache/zubo/images; empty when neither can be named.
std::string image_cache_directory();

class ImageCache {
public:
    explicit ImageCache(std::string directory, std::uintmax_t limit_bytes = kImageCacheBytes);

    // Where url's picture is kept (whether it is there or not); empty when
    // the cache has no directory.
    std::string path_of(const std::string& url) const;

    // Makes the directory and those above it; false when it can't be.
    bool prepare() const;

    // url's picture as kept, its time refreshed (it becomes the newest);
    // nothing when it isn't kept or can't be read.
    std::optional<std::string> take(const std::string& url) const;

    // Drops url's picture (one that turned out unreadable).
    void forget(const std::string& url) const;

    // Removes the pictures least recently shown until those left take at
    // most the cache's size.
    void trim() const;

private:
    std::string directory_;
    std::uintmax_t limit_;
};

}  // namespace zubo::store
