#pragma once
// Tiny pictures made for tests with the encoders of each format, and the
// headers of pictures that only claim a size.

#include <string>

namespace zubo::test {

// A width x height picture, red on its left half and blue on its right
// (lossless formats exactly; JPEG nearly).
std::string png_picture(int width, int height);
std::string jpeg_picture(int width, int height);
std::string gif_picture(int width, int height);
std::string webp_picture(int width, int height);

// A small picture of the format whose header says width x height (its IHDR,
// its frame's SOF0, its screen): the pixels that follow are too few.
std::string png_claiming(int width, int height);
std::string jpeg_claiming(int width, int height);
std::string gif_claiming(int width, int height);

}  // namespace zubo::test
