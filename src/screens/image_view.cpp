#include "screens/image_view.h"

#include <chafa.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>

#include "console/console.h"
#include "console/messages.h"
#include "image/decode.h"
#include "net/download.h"
#include "screens/download_report.h"

namespace zubo {
namespace {

// A terminal's cells are about twice as tall as they are wide, when it
// doesn't say.
constexpr float kCellWidthToHeight = 0.5f;

// chafa's and GLib's objects, each released with its own call.
template <typename T, void (*Release)(T*)>
class Owned {
public:
    explicit Owned(T* p) : p_(p) {}
    ~Owned() {
        if (p_) Release(p_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* get() const { return p_; }

private:
    T* p_;
};

void free_string(GString* s) { g_string_free(s, TRUE); }

using TermInfo = Owned<ChafaTermInfo, chafa_term_info_unref>;
using CanvasConfig = Owned<ChafaCanvasConfig, chafa_canvas_config_unref>;
using Canvas = Owned<ChafaCanvas, chafa_canvas_unref>;
using SymbolMap = Owned<ChafaSymbolMap, chafa_symbol_map_unref>;
using Environment = Owned<gchar*, g_strfreev>;
using Text = Owned<GString, free_string>;

// Whether a finished answer, read from f, starts as a picture zubo reads.
bool starts_as_picture(std::FILE* f) {
    unsigned char head[16];
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    return image::format_of(head, got) != image::Format::kNone;
}

bool says_image(const std::string& content_type) {
    if (content_type.size() < 6) return false;
    std::string kind = content_type.substr(0, 6);
    for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kind == "image/";
}

// The picture's bytes, downloaded under the loading line into the cache
// when it takes them, else kept in memory; nothing when the download failed
// or brought no picture (the line and the reason said).
std::optional<std::string> fetch(Run& run, const std::string& url, const store::ImageCache& cache) {
    console::Console& console = run.console;
    announce_download(console, messages::loading_image);
    DownloadLimits limits = interactive_limits(run);
    limits.max_body_bytes = kMaxImageBytes;
    DocumentRules rules;
    rules.check = starts_as_picture;
    // Without a cache the picture is kept where no file can be made: the
    // download hands it back in memory.
    const bool cached = cache.prepare();
    const std::string path = cached ? cache.path_of(url) : "/dev/null/zubo-image";
    const DownloadResult result = download_to_file(url.c_str(), path.c_str(), rules, limits);
    if (result.ok()) {
        console.write(messages::download_ok);
        std::optional<std::string> bytes = cache.take(url);
        cache.trim();
        // Gone as soon as it came: there is nothing to draw.
        if (!bytes) console.print(messages::image_unshowable, messages::image_broken);
        return bytes;
    }
    if (result.failure == DownloadFailure::kLocalFile && result.unsaved) {
        console.write(messages::download_ok);
        return result.unsaved;
    }
    if (result.failure == DownloadFailure::kNotTheDocument) {
        console.clear_interrupt();
        console.write(messages::download_ok);
        // A picture by its answer in a form zubo doesn't read, or no picture
        // at all (an error page in its place).
        if (says_image(result.content_type)) {
            console.print(messages::image_unshowable, messages::image_unsupported);
        } else if (!result.content_type.empty()) {
            char reason[256];
            std::snprintf(reason, sizeof reason, messages::image_not_image_type, result.content_type.c_str());
            console.print(messages::image_unshowable, reason);
        } else {
            console.print(messages::image_unshowable, messages::image_not_image);
        }
        return std::nullopt;
    }
    report_download(console, result, {messages::download_ok, messages::download_ok});
    return std::nullopt;
}

void say_refusal(console::Console& console, const image::Decoded& picture) {
    switch (picture.refusal) {
    case image::Refusal::kNone:
        return;
    case image::Refusal::kTooLarge: {
        char reason[128];
        std::snprintf(reason, sizeof reason, messages::image_too_large, picture.width, picture.height);
        console.print(messages::image_unshowable, reason);
        return;
    }
    case image::Refusal::kNotAnImage:
        console.print(messages::image_unshowable, messages::image_not_image);
        return;
    case image::Refusal::kUnsupported:
        console.print(messages::image_unshowable, messages::image_unsupported);
        return;
    case image::Refusal::kBroken:
        console.print(messages::image_unshowable, messages::image_broken);
        return;
    }
}

// The terminal's own way of drawing pixels, when it has one.
ChafaPixelMode pixel_mode(const ChafaTermInfo* info) {
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1)) return CHAFA_PIXEL_MODE_KITTY;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_ITERM2_IMAGE)) return CHAFA_PIXEL_MODE_ITERM2;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_SIXELS)) return CHAFA_PIXEL_MODE_SIXELS;
    return CHAFA_PIXEL_MODE_SYMBOLS;
}

// The most colours the terminal takes; none when the screens colour nothing.
ChafaCanvasMode canvas_mode(const ChafaTermInfo* info, bool colour) {
    if (!colour) return CHAFA_CANVAS_MODE_FGBG;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT)) return CHAFA_CANVAS_MODE_TRUECOLOR;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_256)) return CHAFA_CANVAS_MODE_INDEXED_240;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_16)) return CHAFA_CANVAS_MODE_INDEXED_16;
    return CHAFA_CANVAS_MODE_FGBG;
}

// Draws the picture as large as fits the terminal's width and its rows
// but two, its shape kept, in the terminal's graphics protocol, or else in
// coloured blocks: half blocks on a UTF-8 terminal, coloured spaces (or,
// without colour, ASCII) on a CP932 one, which has no block characters.
void draw(console::Console& console, const image::Decoded& picture) {
    int rows = 24, columns = 80;
    console.terminal_size(&rows, &columns);
    Environment environment(g_get_environ());
    TermInfo info(chafa_term_db_detect(chafa_term_db_get_default(), environment.get()));
    if (!info.get()) return;
    const bool colour = console.colour_wanted();
    const ChafaPixelMode pixels = pixel_mode(info.get());

    // The cells' shape, from the terminal's size in pixels when it tells.
    int cell_width = 0, cell_height = 0, width_pixels = 0, height_pixels = 0;
    if (console.terminal_pixels(&width_pixels, &height_pixels) && columns > 0 && rows > 0) {
        cell_width = width_pixels / columns;
        cell_height = height_pixels / rows;
    }
    const bool cells_known = cell_width > 0 && cell_height > 0;
    const float ratio = cells_known ? static_cast<float>(cell_width) / static_cast<float>(cell_height) : kCellWidthToHeight;
    int width = columns > 0 ? columns : 1;
    int height = rows > 3 ? rows - 2 : 1;
    chafa_calc_canvas_geometry(picture.width, picture.height, &width, &height, ratio, TRUE, FALSE);

    CanvasConfig config(chafa_canvas_config_new());
    chafa_canvas_config_set_geometry(config.get(), width, height);
    if (cells_known) chafa_canvas_config_set_cell_geometry(config.get(), cell_width, cell_height);
    chafa_canvas_config_set_pixel_mode(config.get(), pixels);
    chafa_canvas_config_set_canvas_mode(config.get(), canvas_mode(info.get(), colour));
    SymbolMap symbols(chafa_symbol_map_new());
    ChafaSymbolTags tags = CHAFA_SYMBOL_TAG_SPACE;
    if (console.utf8()) tags = static_cast<ChafaSymbolTags>(tags | CHAFA_SYMBOL_TAG_BLOCK);
    else if (!colour) tags = static_cast<ChafaSymbolTags>(tags | CHAFA_SYMBOL_TAG_ASCII);
    chafa_symbol_map_add_by_tags(symbols.get(), tags);
    chafa_canvas_config_set_symbol_map(config.get(), symbols.get());

    Canvas canvas(chafa_canvas_new(config.get()));
    if (!canvas.get()) return;
    chafa_canvas_draw_all_pixels(canvas.get(), CHAFA_PIXEL_RGBA8_UNASSOCIATED, picture.rgba.data(), picture.width,
                                 picture.height, picture.width * 4);
    Text drawn(chafa_canvas_print(canvas.get(), info.get()));
    if (!drawn.get()) return;
    console.write_control(drawn.get()->str);
    gchar reset[CHAFA_TERM_SEQ_LENGTH_MAX + 1] = {};
    *chafa_term_info_emit_reset_attributes(info.get(), reset) = '\0';
    console.write_control(reset);
    console.write("\n");
}

}  // namespace

bool is_image_url(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ending : {".jpg", ".jpeg", ".png", ".gif", ".webp"}) {
        const std::string e = ending;
        if (path.size() > e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0) return true;
    }
    return false;
}

void show_image(Run& run, const std::string& url) {
    show_image(run, url, ImageCacheSettings{store::image_cache_directory()});
}

void show_image(Run& run, const std::string& url, const ImageCacheSettings& settings) {
    console::Console& console = run.console;
    // A pipe can't show a picture: its link goes on for whoever reads.
    if (!console.output_is_terminal()) {
        console.print(messages::image_link, url.c_str());
        return;
    }
    const store::ImageCache cache(settings.directory, settings.limit_bytes);
    std::optional<std::string> bytes = cache.take(url);
    if (!bytes) bytes = fetch(run, url, cache);
    if (!bytes) return;
    const image::Decoded picture =
        image::decode(reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size());
    if (!picture.ok()) {
        // A kept file that doesn't decode is fetched anew next time.
        cache.forget(url);
        say_refusal(console, picture);
        return;
    }
    bytes.reset();
    draw(console, picture);
    console.print(messages::image_prompt, picture.width, picture.height, url.c_str());
    console.pause();
}

}  // namespace zubo
