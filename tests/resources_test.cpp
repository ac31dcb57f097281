// Checks that the committed files in resources/ have the shapes the program
// relies on: picture sizes, icon and cursor layout, and the beep's format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef TOLLORA_RESOURCES_DIR
#error "TOLLORA_RESOURCES_DIR must name the resources directory"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& name) {
  std::ifstream in(std::string(TOLLORA_RESOURCES_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t le16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t le32(const Bytes& b, std::size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }
std::uint32_t be16(const Bytes& b, std::size_t at) { return b.at(at) << 8 | b.at(at + 1); }
std::uint32_t be32(const Bytes& b, std::size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }

struct JpegFrame {
  unsigned width = 0, height = 0, components = 0;
};

// Walks the JPEG markers up to the first baseline or progressive frame header.
JpegFrame jpegFrame(const Bytes& b) {
  JpegFrame f;
  std::size_t at = 2;
  while (at + 9 < b.size()) {
    if (b[at] != 0xFF) return f;
    const std::uint8_t marker = b[at + 1];
    if (marker == 0xC0 || marker == 0xC2) {
      f.height = be16(b, at + 5);
      f.width = be16(b, at + 7);
      f.components = b[at + 9];
      return f;
    }
    at += 2 + be16(b, at + 2);
  }
  return f;
}

void expectJpeg(const std::string& name, unsigned w, unsigned h, unsigned components) {
  SCOPED_TRACE(name);
  const Bytes b = readFile(name);
  ASSERT_GT(b.size(), 4u);
  EXPECT_EQ(b[0], 0xFF);
  EXPECT_EQ(b[1], 0xD8);
  const JpegFrame f = jpegFrame(b);
  EXPECT_EQ(f.width, w);
  EXPECT_EQ(f.height, h);
  if (components != 0)
    EXPECT_EQ(f.components, components);
  else
    EXPECT_TRUE(f.components == 1 || f.components == 3);
}

}  // namespace

TEST(Resources, BackdropsAreJpegsOfTheRightSize) {
  expectJpeg("MainBackdrop.jpg", 290, 163, 1);
  expectJpeg("DialogBackdrop.jpg", 244, 127, 0);
}

TEST(Resources, ClockIconHasThreeTranslucentSizes) {
  const Bytes b = readFile("ClockIcon.ico");
  ASSERT_GE(b.size(), 6u + 3 * 16);
  EXPECT_EQ(le16(b, 0), 0u);
  EXPECT_EQ(le16(b, 2), 1u);  // icon
  ASSERT_EQ(le16(b, 4), 3u);
  const unsigned sizes[] = {32, 24, 16};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(sizes[i]);
    const std::size_t e = 6 + 16 * i;
    EXPECT_EQ(b.at(e), sizes[i]);
    EXPECT_EQ(b.at(e + 1), sizes[i]);
    EXPECT_EQ(le16(b, e + 6), 32u);
    const std::size_t length = le32(b, e + 8), offset = le32(b, e + 12);
    ASSERT_LE(offset + length, b.size());
    if (be32(b, offset) == 0x89504E47) continue;  // PNG-compressed entry
    EXPECT_EQ(le32(b, offset), 40u);
    EXPECT_EQ(le32(b, offset + 4), sizes[i]);
    EXPECT_EQ(le32(b, offset + 8), sizes[i] * 2);
    ASSERT_EQ(le16(b, offset + 14), 32u);
    int clear = 0, solid = 0;
    for (unsigned p = 0; p < sizes[i] * sizes[i]; ++p) {
      const std::uint8_t alpha = b.at(offset + 40 + p * 4 + 3);
      clear += alpha == 0;
      solid += alpha == 255;
    }
    EXPECT_GT(clear, 0);
    EXPECT_GT(solid, 0);
  }
}

TEST(Resources, HandCursorPointsWithItsFingertip) {
  const Bytes b = readFile("HandCursor.cur");
  ASSERT_GE(b.size(), 22u + 40);
  EXPECT_EQ(le16(b, 2), 2u);  // cursor
  ASSERT_EQ(le16(b, 4), 1u);
  EXPECT_EQ(b[6], 32);
  EXPECT_EQ(b[7], 32);
  EXPECT_EQ(le16(b, 10), 12u);  // hot spot x
  EXPECT_EQ(le16(b, 12), 1u);   // hot spot y
  const std::size_t offset = le32(b, 18);
  EXPECT_EQ(le32(b, offset), 40u);
  EXPECT_EQ(le32(b, offset + 8), 64u);
  EXPECT_EQ(le16(b, offset + 14), 4u);
}

TEST(Resources, BeepIsShortMonoPcm) {
  const Bytes b = readFile("beep.wav");
  ASSERT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "WAVE");
  std::size_t at = 12, dataAt = 0, dataLen = 0;
  std::uint32_t rate = 0, bytesPerSecond = 0;
  while (at + 8 <= b.size()) {
    const std::string id(b.begin() + at, b.begin() + at + 4);
    const std::size_t len = le32(b, at + 4);
    if (id == "fmt ") {
      EXPECT_EQ(le16(b, at + 8), 1u);   // PCM
      EXPECT_EQ(le16(b, at + 10), 1u);  // mono
      rate = le32(b, at + 12);
      bytesPerSecond = le32(b, at + 16);
      EXPECT_EQ(le16(b, at + 22), 16u);  // bits per sample
    } else if (id == "data") {
      dataAt = at + 8;
      dataLen = len;
    }
    at += 8 + len + (len & 1);
  }
  ASSERT_GT(rate, 0u);
  ASSERT_EQ(bytesPerSecond, rate * 2);
  ASSERT_GE(dataLen, 4u);
  ASSERT_LE(dataAt + dataLen, b.size());
  const double seconds = double(dataLen) / bytesPerSecond;
  EXPECT_GT(seconds, 0.1);
  EXPECT_LT(seconds, 0.7);
  auto sample = [&](std::size_t i) { return int(std::int16_t(le16(b, dataAt + 2 * i))); };
  EXPECT_LT(std::abs(sample(0)), 64);
  EXPECT_LT(std::abs(sample(dataLen / 2 - 1)), 64);
}

TEST(Resources, DesktopIconsAreRgbaPngs) {
  for (unsigned size : {16u, 24u, 32u, 48u, 64u, 128u, 256u}) {
    SCOPED_TRACE(size);
    const Bytes b = readFile("icons/tollora-" + std::to_string(size) + ".png");
    ASSERT_GE(b.size(), 33u);
    EXPECT_EQ(be32(b, 0), 0x89504E47u);
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
    EXPECT_EQ(be32(b, 16), size);
    EXPECT_EQ(be32(b, 20), size);
    EXPECT_EQ(b[24], 8);  // bit depth
    EXPECT_EQ(b[25], 6);  // RGBA
  }
}
