#include "image/decode.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/images.h"

namespace zubo::image {
namespace {

Decoded decode_string(const std::string& bytes, int max_side = kMaxSide) {
    return decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), max_side);
}

struct Row {
    const char* name;
    Format format;
    std::function<std::string(int, int)> make;
    bool lossless;
};

class EachFormat : public ::testing::TestWithParam<Row> {};

TEST_P(EachFormat, DecodesToRgbaOfItsSize) {
    const Row& row = GetParam();
    const Decoded d = decode_string(row.make(6, 3));
    ASSERT_TRUE(d.ok()) << row.name << " refused: " << static_cast<int>(d.refusal);
    EXPECT_EQ(d.format, row.format);
    EXPECT_EQ(d.width, 6);
    EXPECT_EQ(d.height, 3);
    ASSERT_EQ(d.rgba.size(), 6u * 3u * 4u);
    // Top left red, bottom right blue, both opaque.
    const unsigned char* first = &d.rgba[0];
    const unsigned char* last = &d.rgba[d.rgba.size() - 4];
    const int slack = row.lossless ? 0 : 40;
    EXPECT_NEAR(first[0], 255, slack);
    EXPECT_NEAR(first[2], 0, slack);
    EXPECT_NEAR(last[0], 0, slack);
    EXPECT_NEAR(last[2], 255, slack);
    EXPECT_EQ(first[3], 255);
    EXPECT_EQ(last[3], 255);
}

TEST_P(EachFormat, TruncatedIsBroken) {
    const Row& row = GetParam();
    const std::string whole = row.make(40, 40);
    for (std::size_t keep : {whole.size() * 3 / 4, whole.size() / 2, std::size_t{14}}) {
        const Decoded d = decode_string(whole.substr(0, keep));
        EXPECT_EQ(d.refusal, Refusal::kBroken) << row.name << " cut to " << keep << " of " << whole.size();
        EXPECT_TRUE(d.rgba.empty());
    }
}

TEST_P(EachFormat, KnownByItsFirstBytes) {
    const Row& row = GetParam();
    const std::string bytes = row.make(2, 2);
    EXPECT_EQ(format_of(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), row.format);
    EXPECT_EQ(format_of(reinterpret_cast<const unsigned char*>(bytes.data()), 2), Format::kNone);
}

TEST_P(EachFormat, OneSidePastTheLimitIsRefusedWithItsSize) {
    const Row& row = GetParam();
    const Decoded wide = decode_string(row.make(9, 2), 8);
    EXPECT_EQ(wide.refusal, Refusal::kTooLarge);
    EXPECT_EQ(wide.width, 9);
    EXPECT_EQ(wide.height, 2);
    EXPECT_TRUE(decode_string(row.make(8, 8), 8).ok());
}

INSTANTIATE_TEST_SUITE_P(Formats, EachFormat,
                         ::testing::Values(Row{"png", Format::kPng, test::png_picture, true},
                                           Row{"jpeg", Format::kJpeg, test::jpeg_picture, false},
                                           Row{"gif", Format::kGif, test::gif_picture, true},
                                           Row{"webp", Format::kWebp, test::webp_picture, true}),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// The headers say 9000 x 9000; the pixels that follow are those of a tiny
// picture, so a decoder that went on would fail as broken, not too large.
TEST(Decode, HeadersClaimingNineThousandSquareAreRefusedBeforeDecoding) {
    for (const std::string& bytes : {test::png_claiming(9000, 9000), test::jpeg_claiming(9000, 9000),
                                     test::gif_claiming(9000, 9000)}) {
        const Decoded d = decode_string(bytes);
        EXPECT_EQ(d.refusal, Refusal::kTooLarge) << static_cast<int>(d.format);
        EXPECT_EQ(d.width, 9000);
        EXPECT_EQ(d.height, 9000);
        EXPECT_TRUE(d.rgba.empty());
    }
    // 8000 on a side is still allowed: the tiny pixels then fail as broken.
    EXPECT_EQ(decode_string(test::png_claiming(8000, 8000)).refusal, Refusal::kBroken);
    EXPECT_EQ(decode_string(test::gif_claiming(8000, 1)).refusal, Refusal::kNone);
}

TEST(Decode, WhatIsNoPictureIsSaidSo) {
    EXPECT_EQ(decode_string("<html><body>404</body></html>").refusal, Refusal::kNotAnImage);
    EXPECT_EQ(decode_string("").refusal, Refusal::kNotAnImage);
    EXPECT_EQ(decode(nullptr, 0).refusal, Refusal::kNotAnImage);
    // Named like a picture inside, but not at its start.
    EXPECT_EQ(decode_string("xx" + test::png_picture(2, 2)).refusal, Refusal::kNotAnImage);
}

TEST(Decode, DamagedPixelsAreBrokenNotFatal) {
    std::string png = test::png_picture(16, 16);
    // Past the headers, into the compressed pixels.
    for (std::size_t i = 45; i < png.size() - 12; ++i) png[i] = static_cast<char>(png[i] ^ 0x5A);
    EXPECT_EQ(decode_string(png).refusal, Refusal::kBroken);
    std::string jpeg = test::jpeg_picture(16, 16);
    jpeg[2] = '\xFF';
    jpeg[3] = '\xFF';
    jpeg.resize(6);
    EXPECT_EQ(decode_string(jpeg).refusal, Refusal::kBroken);
}

}  // namespace
}  // namespace zubo::image
