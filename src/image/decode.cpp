#include "image/decode.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>

namespace zubo::image {
namespace {

bool starts_with(const unsigned char* data, std::size_t size, const char* magic, std::size_t length,
                 std::size_t at = 0) {
    return size >= at + length && std::memcmp(data + at, magic, length) == 0;
}

Decoded refused(Refusal refusal, Format format, int width = 0, int height = 0) {
    Decoded d;
    d.refusal = refusal;
    d.format = format;
    d.width = width;
    d.height = height;
    return d;
}

bool too_large(long width, long height, int max_side) { return width > max_side || height > max_side; }

// The buffer for width x height RGBA pixels; false when there is no memory
// for it.
bool make_room(Decoded& d, int width, int height) {
    d.width = width;
    d.height = height;
    try {
        d.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// --- JPEG (libjpeg-turbo) ---------------------------------------------------
// libjpeg reports a fatal error by calling error_exit, which must not
// return. Ours jumps back to decode_jpeg's setjmp: the only frames between
// are libjpeg's own C frames, and every object of decode_jpeg with a
// destructor is made before the jump point, so none is skipped.

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    bool truncated;
};

[[noreturn]] void jpeg_fail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->back, 1);
}

// Warnings are never printed; a file that ends early counts as broken,
// though libjpeg would fill the rest with grey.
void jpeg_message(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegErrors*>(info->err)->truncated = true;
}

struct JpegDecompressor {
    jpeg_decompress_struct info;
    bool made = false;
    ~JpegDecompressor() {
        if (made) jpeg_destroy_decompress(&info);
    }
};

// Reads the JPEG into d and says why it can't. The jump point is here, in
// a frame with no object of its own that has a destructor: the decoder and
// d belong to the caller.
Refusal read_jpeg(const unsigned char* data, std::size_t size, int max_side, JpegDecompressor& jpeg,
                  JpegErrors& errors, Decoded& d) {
    jpeg.info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpeg_fail;
    errors.manager.emit_message = jpeg_message;
    errors.truncated = false;
    if (setjmp(errors.back) != 0) return Refusal::kBroken;
    jpeg_create_decompress(&jpeg.info);
    jpeg.made = true;
    jpeg_mem_src(&jpeg.info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&jpeg.info, TRUE) != JPEG_HEADER_OK) return Refusal::kBroken;
    d.width = static_cast<int>(jpeg.info.image_width);
    d.height = static_cast<int>(jpeg.info.image_height);
    if (too_large(jpeg.info.image_width, jpeg.info.image_height, max_side)) return Refusal::kTooLarge;
    const bool cmyk = jpeg.info.jpeg_color_space == JCS_CMYK || jpeg.info.jpeg_color_space == JCS_YCCK;
    jpeg.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&jpeg.info);
    if (!make_room(d, static_cast<int>(jpeg.info.output_width), static_cast<int>(jpeg.info.output_height))) {
        return Refusal::kTooLarge;
    }
    const std::size_t stride = static_cast<std::size_t>(d.width) * 4;
    while (jpeg.info.output_scanline < jpeg.info.output_height && !errors.truncated) {
        JSAMPROW row = d.rgba.data() + stride * jpeg.info.output_scanline;
        if (jpeg_read_scanlines(&jpeg.info, &row, 1) != 1) break;
    }
    if (errors.truncated || jpeg.info.output_scanline < jpeg.info.output_height) return Refusal::kBroken;
    jpeg_finish_decompress(&jpeg.info);
    if (errors.truncated) return Refusal::kBroken;
    if (cmyk) {
        // Adobe's CMYK JPEGs, the common kind, store the inks inverted.
        const bool inverted = jpeg.info.saw_Adobe_marker;
        for (std::size_t i = 0; i < d.rgba.size(); i += 4) {
            unsigned c = d.rgba[i], m = d.rgba[i + 1], y = d.rgba[i + 2], k = d.rgba[i + 3];
            if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
            d.rgba[i] = static_cast<unsigned char>(c * k / 255);
            d.rgba[i + 1] = static_cast<unsigned char>(m * k / 255);
            d.rgba[i + 2] = static_cast<unsigned char>(y * k / 255);
            d.rgba[i + 3] = 255;
        }
    }
    return Refusal::kNone;
}

Decoded decode_jpeg(const unsigned char* data, std::size_t size, int max_side) {
    JpegErrors errors;
    JpegDecompressor jpeg;
    Decoded d;
    d.format = Format::kJpeg;
    const Refusal refusal = read_jpeg(data, size, max_side, jpeg, errors, d);
    if (refusal == Refusal::kNone) return d;
    return refused(refusal, Format::kJpeg, refusal == Refusal::kTooLarge ? d.width : 0,
                   refusal == Refusal::kTooLarge ? d.height : 0);
}

// --- PNG (libpng's simplified interface, which keeps its errors inside) ------

struct PngImage {
    png_image image;
    PngImage() {
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
    }
    ~PngImage() { png_image_free(&image); }
};

Decoded decode_png(const unsigned char* data, std::size_t size, int max_side) {
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, data, size)) return refused(Refusal::kBroken, Format::kPng);
    const long width = png.image.width, height = png.image.height;
    if (too_large(width, height, max_side)) {
        return refused(Refusal::kTooLarge, Format::kPng, static_cast<int>(width), static_cast<int>(height));
    }
    png.image.format = PNG_FORMAT_RGBA;
    Decoded d;
    d.format = Format::kPng;
    if (!make_room(d, static_cast<int>(width), static_cast<int>(height))) {
        return refused(Refusal::kTooLarge, Format::kPng, static_cast<int>(width), static_cast<int>(height));
    }
    if (!png_image_finish_read(&png.image, nullptr, d.rgba.data(), 0, nullptr)) {
        return refused(Refusal::kBroken, Format::kPng);
    }
    return d;
}

// --- GIF (giflib: return codes) ----------------------------------------------

struct GifSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

int read_gif(GifFileType* gif, GifByteType* into, int wanted) {
    GifSource& source = *static_cast<GifSource*>(gif->UserData);
    std::size_t n = static_cast<std::size_t>(wanted < 0 ? 0 : wanted);
    if (n > source.size - source.at) n = source.size - source.at;
    std::memcpy(into, source.data + source.at, n);
    source.at += n;
    return static_cast<int>(n);
}

struct GifFile {
    GifFileType* gif;
    ~GifFile() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

// The rows of an interlaced frame, in the order they are stored.
std::vector<int> gif_row_order(int height, bool interlaced) {
    std::vector<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
    }
    return rows;
}

Decoded decode_gif(const unsigned char* data, std::size_t size, int max_side) {
    GifSource source{data, size, 0};
    int error = 0;
    GifFile file{DGifOpen(&source, read_gif, &error)};
    if (!file.gif) return refused(Refusal::kBroken, Format::kGif);
    GifFileType* gif = file.gif;
    if (too_large(gif->SWidth, gif->SHeight, max_side)) {
        return refused(Refusal::kTooLarge, Format::kGif, gif->SWidth, gif->SHeight);
    }
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return refused(Refusal::kBroken, Format::kGif);
        if (type == TERMINATE_RECORD_TYPE) return refused(Refusal::kBroken, Format::kGif);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return refused(Refusal::kBroken, Format::kGif);
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return refused(Refusal::kBroken, Format::kGif);
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) return refused(Refusal::kBroken, Format::kGif);
        break;
    }
    const GifImageDesc& frame = gif->Image;
    if (too_large(frame.Width, frame.Height, max_side)) {
        return refused(Refusal::kTooLarge, Format::kGif, frame.Width, frame.Height);
    }
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours || frame.Width <= 0 || frame.Height <= 0) return refused(Refusal::kBroken, Format::kGif);
    // A picture whose screen says nothing of its size is its first frame's.
    const int width = gif->SWidth > 0 ? gif->SWidth : frame.Width;
    const int height = gif->SHeight > 0 ? gif->SHeight : frame.Height;
    Decoded d;
    d.format = Format::kGif;
    if (!make_room(d, width, height)) return refused(Refusal::kTooLarge, Format::kGif, width, height);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    for (int y : gif_row_order(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return refused(Refusal::kBroken, Format::kGif);
        const long row = static_cast<long>(frame.Top) + y;
        if (row < 0 || row >= height) continue;
        for (int x = 0; x < frame.Width; ++x) {
            const long column = static_cast<long>(frame.Left) + x;
            const int index = line[static_cast<std::size_t>(x)];
            if (column < 0 || column >= width || index == transparent || index >= colours->ColorCount) continue;
            unsigned char* pixel = d.rgba.data() + (static_cast<std::size_t>(row) * width + column) * 4;
            pixel[0] = colours->Colors[index].Red;
            pixel[1] = colours->Colors[index].Green;
            pixel[2] = colours->Colors[index].Blue;
            pixel[3] = 255;
        }
    }
    return d;
}

// --- WebP (libwebp: status codes) --------------------------------------------

Decoded decode_webp(const unsigned char* data, std::size_t size, int max_side) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return refused(Refusal::kBroken, Format::kWebp);
    if (too_large(features.width, features.height, max_side)) {
        return refused(Refusal::kTooLarge, Format::kWebp, features.width, features.height);
    }
    if (features.has_animation) return refused(Refusal::kUnsupported, Format::kWebp, features.width, features.height);
    Decoded d;
    d.format = Format::kWebp;
    if (!make_room(d, features.width, features.height)) {
        return refused(Refusal::kTooLarge, Format::kWebp, features.width, features.height);
    }
    const int stride = d.width * 4;
    if (!WebPDecodeRGBAInto(data, size, d.rgba.data(), d.rgba.size(), stride)) {
        return refused(Refusal::kBroken, Format::kWebp);
    }
    return d;
}

}  // namespace

Format format_of(const unsigned char* data, std::size_t size) {
    if (!data) return Format::kNone;
    if (starts_with(data, size, "\xFF\xD8\xFF", 3)) return Format::kJpeg;
    if (starts_with(data, size, "\x89PNG\r\n\x1A\n", 8)) return Format::kPng;
    if (starts_with(data, size, "GIF87a", 6) || starts_with(data, size, "GIF89a", 6)) return Format::kGif;
    if (starts_with(data, size, "RIFF", 4) && starts_with(data, size, "WEBP", 4, 8)) return Format::kWebp;
    return Format::kNone;
}

Decoded decode(const unsigned char* data, std::size_t size, int max_side) {
    switch (format_of(data, size)) {
    case Format::kJpeg:
        return decode_jpeg(data, size, max_side);
    case Format::kPng:
        return decode_png(data, size, max_side);
    case Format::kGif:
        return decode_gif(data, size, max_side);
    case Format::kWebp:
        return decode_webp(data, size, max_side);
    case Format::kNone:
        break;
    }
    return refused(Refusal::kNotAnImage, Format::kNone);
}

}  // namespace zubo::image
