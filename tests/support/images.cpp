#include "support/images.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>

namespace zubo::test {
namespace {

std::vector<unsigned char> rgba_halves(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
            const bool left = x < width / 2;
            p[0] = left ? 255 : 0;
            p[1] = 0;
            p[2] = left ? 0 : 255;
            p[3] = 255;
        }
    }
    return pixels;
}

void put_be32(std::string& bytes, std::size_t at, unsigned value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

unsigned crc32_of(const std::string& bytes, std::size_t at, std::size_t size) {
    unsigned crc = 0xFFFFFFFFu;
    for (std::size_t i = at; i < at + size; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int write_gif(GifFileType* gif, const GifByteType* data, int size) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    return size;
}

}  // namespace

std::string png_picture(int width, int height) {
    std::vector<unsigned char> pixels = rgba_halves(width, height);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) throw std::runtime_error("png");
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr)) {
        throw std::runtime_error("png");
    }
    bytes.resize(size);
    return bytes;
}

std::string jpeg_picture(int width, int height) {
    std::vector<unsigned char> pixels = rgba_halves(width, height);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = &pixels[static_cast<std::size_t>(info.next_scanline) * width * 4];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

std::string gif_picture(int width, int height) {
    std::string bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, write_gif, &error);
    if (!gif) throw std::runtime_error("gif");
    GifColorType colours[2] = {{255, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) line[static_cast<std::size_t>(x)] = x < width / 2 ? 0 : 1;
    for (int y = 0; y < height; ++y) EGifPutLine(gif, line.data(), width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return bytes;
}

std::string webp_picture(int width, int height) {
    std::vector<unsigned char> pixels = rgba_halves(width, height);
    uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(pixels.data(), width, height, width * 4, &out);
    if (size == 0) throw std::runtime_error("webp");
    std::string bytes(reinterpret_cast<char*>(out), size);
    WebPFree(out);
    return bytes;
}

std::string png_claiming(int width, int height) {
    std::string bytes = png_picture(4, 4);
    // The IHDR chunk follows the 8-byte signature: length, "IHDR", width,
    // height, five bytes more, then its CRC over type and data.
    put_be32(bytes, 16, static_cast<unsigned>(width));
    put_be32(bytes, 20, static_cast<unsigned>(height));
    put_be32(bytes, 29, crc32_of(bytes, 12, 17));
    return bytes;
}

std::string jpeg_claiming(int width, int height) {
    std::string bytes = jpeg_picture(8, 8);
    // SOF0: FF C0, length, precision, then height and width (16 bits each).
    std::size_t at = bytes.find("\xFF\xC0");
    if (at == std::string::npos) throw std::runtime_error("no SOF0");
    bytes[at + 5] = static_cast<char>(height >> 8);
    bytes[at + 6] = static_cast<char>(height & 0xFF);
    bytes[at + 7] = static_cast<char>(width >> 8);
    bytes[at + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}

std::string gif_claiming(int width, int height) {
    std::string bytes = gif_picture(4, 4);
    // The logical screen's size follows "GIF89a", little-endian.
    bytes[6] = static_cast<char>(width & 0xFF);
    bytes[7] = static_cast<char>(width >> 8);
    bytes[8] = static_cast<char>(height & 0xFF);
    bytes[9] = static_cast<char>(height >> 8);
    return bytes;
}

}  // namespace zubo::test
