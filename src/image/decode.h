#pragma once
// Pictures as bytes: which format a file is (by its first bytes, never its
// name), and its pixels decoded into RGBA. Nothing here prints or touches
// the disk.

#include <cstddef>
#include <vector>

namespace zubo::image {

enum class Format { kNone, kJpeg, kPng, kGif, kWebp };

// The format the bytes start like; kNone when they are no picture zubo
// knows.
Format format_of(const unsigned char* data, std::size_t size);

// A picture wider or taller than this is refused from its header, before
// any pixel is decoded.
inline constexpr int kMaxSide = 8000;

enum class Refusal {
    kNone,
    kNotAnImage,   // no known format starts so
    kTooLarge,     // the header's size is past max_side (width, height say it)
    kUnsupported,  // a known format in a form zubo doesn't read (an animated WebP)
    kBroken,       // the decoder gave up: truncated or damaged
};

struct Decoded {
    Refusal refusal = Refusal::kNone;
    Format format = Format::kNone;
    int width = 0;
    int height = 0;
    // width * height pixels, four bytes each (R, G, B, A), row after row;
    // empty when refused.
    std::vector<unsigned char> rgba;
    bool ok() const { return refusal == Refusal::kNone; }
};

// Decodes the bytes of a picture (a GIF's first frame). No decoder's error
// leaves this function other than as a refusal.
Decoded decode(const unsigned char* data, std::size_t size, int max_side = kMaxSide);

}  // namespace zubo::image
