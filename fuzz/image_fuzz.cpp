// The picture decoders over any bytes: a refusal, or pixels of the size the
// picture says, and never a decoder's error escaping (a longjmp through our
// frames or an abort would stop the run).

#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "image/decode.h"

namespace {

// Smaller than the program's limit, so each input decodes quickly.
constexpr int kMaxSide = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zubo::image::Refusal;
    const zubo::image::Decoded d = zubo::image::decode(data, size, kMaxSide);
    const zubo::image::Format format = zubo::image::format_of(data, size);
    ZUBO_FUZZ_CHECK((d.refusal == Refusal::kNotAnImage) == (format == zubo::image::Format::kNone));
    if (d.ok()) {
        ZUBO_FUZZ_CHECK(d.format == format);
        ZUBO_FUZZ_CHECK(d.width > 0 && d.width <= kMaxSide && d.height > 0 && d.height <= kMaxSide);
        ZUBO_FUZZ_CHECK(d.rgba.size() == static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height) * 4);
    } else {
        ZUBO_FUZZ_CHECK(d.rgba.empty());
        if (d.refusal == Refusal::kTooLarge) ZUBO_FUZZ_CHECK(d.width > kMaxSide || d.height > kMaxSide);
    }
    return 0;
}
