#pragma once
// Pictures linked from posts, drawn in the terminal.

#include <cstddef>
#include <cstdint>
#include <string>

#include "screens/run.h"
#include "store/image_cache.h"

namespace zubo {

// Whether the link names a picture by its path's ending (.jpg, .jpeg,
// .png, .gif, .webp, in any case; a query or fragment after it aside).
bool is_image_url(const std::string& url);

// A picture's body longer than this fails its download.
inline constexpr std::size_t kMaxImageBytes = 20u * 1024 * 1024;

// Where pictures are kept between runs, and how much of them.
struct ImageCacheSettings {
    // Empty: nothing is kept; every look downloads.
    std::string directory;
    std::uintmax_t limit_bytes = store::kImageCacheBytes;
};

// Shows the picture at url: taken from the cache, or fetched (a link whose
// answer says Content-Type: image/... is a picture too, whatever its
// name), decoded and drawn as large as fits the terminal, then its prompt,
// which waits for Enter; in a pipe, the URL is printed. What can't be
// shown is said, with the reason. The cache is store::image_cache_directory().
void show_image(Run& run, const std::string& url);
void show_image(Run& run, const std::string& url, const ImageCacheSettings& cache);

}  // namespace zubo
