// The files in resources/ have the shapes the program relies on.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Numbers = std::vector<unsigned>;

Bytes readFile(const std::string& name) {
  std::ifstream in(std::string(TOLLORA_RESOURCES_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
unsigned le16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
unsigned le32(const Bytes& b, std::size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }
unsigned be16(const Bytes& b, std::size_t at) { return b.at(at) << 8 | b.at(at + 1); }
std::string text(const Bytes& b, std::size_t at, std::size_t n) { return {b.begin() + at, b.begin() + at + n}; }

TEST(Resources, PicturesIconCursorAndBeepHaveTheShapesTheProgramNeeds) {
  // The backdrops: JPEG frames (baseline or progressive) of the forms' sizes.
  const std::pair<const char*, Numbers> backdrops[] = {{"MainBackdrop.jpg", {290, 163}},
                                                       {"DialogBackdrop.jpg", {244, 127}}};
  for (const auto& [name, size] : backdrops) {
    const Bytes b = readFile(name);
    std::size_t at = 2;
    while (at + 9 < b.size() && b[at] == 0xFF && b[at + 1] != 0xC0 && b[at + 1] != 0xC2) at += 2 + be16(b, at + 2);
    ASSERT_LT(at + 9, b.size()) << name;
    EXPECT_EQ(Numbers({be16(b, at + 7), be16(b, at + 5)}), size) << name;
  }
  // The icon: 32, 24 and 16 pixels, 32 bits each, for the window and the notification area.
  const Bytes icon = readFile("ClockIcon.ico");
  ASSERT_EQ(Numbers({le16(icon, 2), le16(icon, 4)}), Numbers({1, 3}));
  for (unsigned i = 0, size = 32; i < 3; ++i, size -= 8) {
    EXPECT_EQ(Numbers({icon.at(6 + 16 * i), icon.at(7 + 16 * i), le16(icon, 12 + 16 * i)}), Numbers({size, size, 32}));
    EXPECT_LE(le32(icon, 14 + 16 * i) + le32(icon, 18 + 16 * i), icon.size());
  }
  // The hand cursor: 32 by 32, pointing with its fingertip at (12, 1).
  const Bytes cursor = readFile("HandCursor.cur");
  EXPECT_EQ(Numbers({le16(cursor, 2), cursor.at(6), cursor.at(7), le16(cursor, 10), le16(cursor, 12)}),
            Numbers({2, 32, 32, 12, 1}));
  // The beep: mono 16-bit PCM, shorter than the 0.7 s between two beeps.
  const Bytes wav = readFile("beep.wav");
  ASSERT_EQ(text(wav, 0, 4) + text(wav, 8, 4), "RIFFWAVE");
  Numbers format;
  unsigned data = 0;
  for (std::size_t at = 12; at + 8 <= wav.size(); at += 8 + le32(wav, at + 4) + (le32(wav, at + 4) & 1)) {
    const std::string id = text(wav, at, 4);
    if (id == "fmt ") format = {le16(wav, at + 8), le16(wav, at + 10), le16(wav, at + 22), le32(wav, at + 16)};
    if (id == "data") data = le32(wav, at + 4);
  }
  ASSERT_EQ(format.size(), 4u);
  EXPECT_EQ(Numbers(format.begin(), format.begin() + 3), Numbers({1, 1, 16}));
  EXPECT_TRUE(data > format[3] / 10 && data < format[3] * 7 / 10) << data << " bytes at " << format[3] << " a second";
  // The desktop icons: RGBA PNGs of the sizes their names give.
  for (unsigned size : {16u, 24u, 32u, 48u, 64u, 128u, 256u}) {
    const Bytes b = readFile("icons/tollora-" + std::to_string(size) + ".png");
    ASSERT_GE(b.size(), 26u);
    EXPECT_EQ(text(b, 1, 3) + text(b, 12, 4), "PNGIHDR");
    EXPECT_EQ(Numbers({be16(b, 18), be16(b, 22), b[24], b[25]}), Numbers({size, size, 8, 6})) << size;
  }
}

}  // namespace
