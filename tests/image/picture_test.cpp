// PNG and GIF pictures (the other payloads of DefineBitsJPEG2 and 3) through the platform's
// decoders: libpng and giflib here, the Windows Imaging Component under Wine, with the same
// pixels expected from both.
#include <gtest/gtest.h>

#include <vector>

#include "image/picture_decoder.h"
#include "jpeg_fixture.h"
#include "picture_fixtures.h"

namespace {

using image::PictureFormat;

TEST(Picture, FormatsAreToldByTheirSignatures) {
    EXPECT_EQ(image::DetectPictureFormat(kSmallPng, sizeof kSmallPng), PictureFormat::kPng);
    EXPECT_EQ(image::DetectPictureFormat(kSmallGif, sizeof kSmallGif), PictureFormat::kGif);
    EXPECT_EQ(image::DetectPictureFormat(kBlocksJpeg, sizeof kBlocksJpeg), PictureFormat::kJpeg);
}

TEST(Picture, PngKeepsItsAlphaPremultiplied) {
    image::Picture p;
    std::string error;
    ASSERT_TRUE(image::DecodePicture(kSmallPng, sizeof kSmallPng, p, error)) << error;
    ASSERT_EQ(p.width, 2);
    ASSERT_EQ(p.height, 2);
    EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0x80008000u, 0u, 0xFFFFFFFFu}));
}

TEST(Picture, GifShowsItsFirstFrameWithItsTransparentColour) {
    image::Picture p;
    std::string error;
    ASSERT_TRUE(image::DecodePicture(kSmallGif, sizeof kSmallGif, p, error)) << error;
    ASSERT_EQ(p.width, 4);
    ASSERT_EQ(p.height, 2);
    EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0u, 0u, 0xFF0000FFu,
                                               0xFF00FF00u, 0xFFFF0000u}));
}

TEST(Picture, DamagedPicturesAreRefused) {
    image::Picture p;
    std::string error;
    std::vector<uint8_t> png(std::begin(kSmallPng), std::end(kSmallPng));
    png.resize(40);  // the header and part of the data
    EXPECT_FALSE(image::DecodePicture(png.data(), png.size(), p, error));
    EXPECT_FALSE(error.empty());
    std::vector<uint8_t> gif(std::begin(kSmallGif), std::end(kSmallGif));
    gif.resize(20);
    EXPECT_FALSE(image::DecodePicture(gif.data(), gif.size(), p, error));
    EXPECT_TRUE(p.pixels.empty());
}

}  // namespace
