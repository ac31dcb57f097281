#include "alarmfile/ini.h"

#include <algorithm>
#include <string_view>

#include "ui/ui.h"

namespace tollora::ini {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kBomUtf16Le[] = "\xFF\xFE";
constexpr char kBomUtf16Be[] = "\xFE\xFF";

// Pairs of bytes after a UTF-16 byte-order mark; an odd last byte is no character.
std::u16string fromUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return out;
}

// Whether `b` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF); `beyond` tells whether it holds a character beyond ASCII.
bool isUtf8(std::string_view b, bool& beyond) {
  beyond = false;
  for (std::size_t i = 0; i < b.size();) {
    const auto c = static_cast<unsigned char>(b[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    beyond = true;
    std::size_t n;
    unsigned lo = 0x80, hi = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if (c >= 0xE0 && c <= 0xEF) n = 2, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4) n = 3, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    else return false;
    if (i + n >= b.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(b[i + k]);
      if (d < (k == 1 ? lo : 0x80) || d > (k == 1 ? hi : 0xBF)) return false;
    }
    i += n + 1;
  }
  return true;
}

// UTF-16 without a byte-order mark (true: big endian), told by its NUL bytes: every one on the
// same side of its pair, and many, as the ASCII names and digits of an alarm file give. A NUL
// here and there among 8-bit bytes is no such pattern.
std::optional<bool> utf16ByNuls(std::string_view b) {
  std::size_t nuls[2] = {0, 0};
  for (std::size_t i = 0; i < b.size(); ++i)
    if (b[i] == '\0') ++nuls[i % 2];
  if (b.size() % 2 != 0 || (nuls[0] > 0) == (nuls[1] > 0) || 4 * (nuls[0] + nuls[1]) < b.size() / 2) return std::nullopt;
  return nuls[0] > 0;
}

// Text as an editor writes it: no NUL, no control character but TAB and line breaks, no half
// of a surrogate pair.
bool isText(std::u16string_view t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\v' && c != u'\f') return false;
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == t.size() || t[i + 1] < 0xDC00 || t[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

std::optional<std::u16string> decodeBytes(const std::string& bytes, const std::function<std::u16string(const std::string&)>& decode) {
  const std::string_view b(bytes);
  bool beyond = false;
  if (b.starts_with(kBom)) {
    if (!isUtf8(b.substr(3), beyond)) return std::nullopt;
    return ui::fromUtf8(bytes.substr(3));
  }
  // Notepad's "Unicode" and "Unicode big endian": the profile reader reads both, and so
  // without their mark.
  if (b.starts_with(kBomUtf16Le)) return fromUtf16(b.substr(2), false);
  if (b.starts_with(kBomUtf16Be)) return fromUtf16(b.substr(2), true);
  if (const auto bigEndian = utf16ByNuls(b)) return fromUtf16(b, *bigEndian);
  // UTF-8 without a mark, as Notepad saves by default: a text in an 8-bit code page that
  // uses any letter beyond ASCII is practically never also well-formed UTF-8.
  if (isUtf8(b, beyond) && beyond) return ui::fromUtf8(bytes);
  return decode(bytes);
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::u16string finishValue(std::u16string_view v) {
  v = trim(v);
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) {
    v.remove_prefix(1);
    v.remove_suffix(1);
  }
  return std::u16string(v);
}

}  // namespace

std::u16string_view FirstLine(std::u16string_view v) {
  return v.substr(0, static_cast<std::size_t>(std::find_if(v.begin(), v.end(), ui::TextBox::isLineBreak) - v.begin()));
}

std::optional<std::u16string> DecodeFile(const std::string& bytes, const std::function<std::u16string(const std::string&)>& decode) {
  auto text = decodeBytes(bytes, decode);
  if (!text || !isText(*text)) return std::nullopt;
  return text;
}

std::u16string ReadValue(const std::string& bytes, const std::u16string& section, const std::u16string& key,
                         const std::function<std::u16string(const std::string&)>& decode) {
  const auto text = DecodeFile(bytes, decode);
  return text ? ValueIn(*text, section, key) : std::u16string();
}

std::u16string ValueIn(std::u16string_view text, const std::u16string& section, const std::u16string& key) {
  bool inSection = false;
  bool seenSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", pos);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view line = trim(text.substr(pos, end - pos));
    pos = end + (text.substr(end).starts_with(u"\r\n") ? 2 : 1);

    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      if (inSection) break;  // only the first matching section counts
      std::u16string_view name = line.substr(1);
      if (auto close = name.find(u']'); close != std::u16string_view::npos) name = name.substr(0, close);
      inSection = !seenSection && sameName(trim(name), section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find(u'=');
    if (eq == std::u16string_view::npos) continue;
    if (sameName(trim(line.substr(0, eq)), key)) return finishValue(line.substr(eq + 1));
  }
  return {};
}

namespace {

// What of a value goes into the file: its first line, without control characters other than
// TAB (a NUL would end the value for every reader, the others no editor shows).
std::u16string savedValue(std::u16string_view value) {
  std::u16string out;
  for (char16_t c : FirstLine(value))
    if (c >= 0x20 || c == u'\t') out += c;
  return out;
}

}  // namespace

std::u16string AlarmFileText(const std::u16string& alarm, const std::u16string& backup) {
  return u"[ALARM]\r\nTime=" + savedValue(alarm) + u"\r\nTimeBAK=" + savedValue(backup) + u"\r\n";
}

std::string EncodeAlarmFile(const std::u16string& text,
                            const std::function<std::optional<std::string>(const std::u16string&)>& encode) {
  std::string utf8 = ui::toUtf8(text);
  // Code-page bytes beyond ASCII read back only under the same code page; these read alike
  // under every one.
  if (encode(text) == utf8) return utf8;
  return kBom + utf8;
}

}  // namespace tollora::ini
