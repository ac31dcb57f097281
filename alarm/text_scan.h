// Reading a date-and-time text from left to right: the one scanner of the clock text's exact
// reader (clock_text.cpp) and of the forgiving one for typed alarms (alarm_reader.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "alarmfile/ini.h"

namespace tollora {

// U+00A0, U+2007 and U+202F come with times copied from documents and web pages, U+3000
// from East Asian input methods.
inline bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x2007 || c == 0x202F || c == 0x3000;
}
inline bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

class TextScanner {
 public:
  explicit TextScanner(std::u16string_view t) : text_(t) {}
  std::u16string_view rest() const { return text_.substr(pos_); }
  bool atEnd() const { return pos_ == text_.size(); }

  std::size_t blanks() {
    const std::size_t from = pos_;
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    return pos_ - from;
  }
  bool literal(std::u16string_view s) {
    if (s.empty() || text_.substr(pos_, s.size()) != s) return false;
    pos_ += s.size();
    return true;
  }
  // `s` with ASCII letters in either case.
  bool word(std::u16string_view s) {
    if (s.empty() || text_.size() - pos_ < s.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
      if (ini::FoldAscii(text_[pos_ + i]) != ini::FoldAscii(s[i])) return false;
    pos_ += s.size();
    return true;
  }
  // Exactly `count` digits, whatever follows; nothing is taken when they are not there.
  bool digits(std::size_t count, int& value) {
    if (text_.size() - pos_ < count) return false;
    int v = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (!isAsciiDigit(text_[pos_ + i])) return false;
      v = v * 10 + (text_[pos_ + i] - u'0');
    }
    pos_ += count;
    value = v;
    return true;
  }
  // A run of `least` to `most` digits, not followed by another digit.
  bool number(std::size_t least, std::size_t most, int& value, std::size_t* count = nullptr) {
    std::size_t n = 0;
    while (pos_ + n < text_.size() && isAsciiDigit(text_[pos_ + n])) ++n;
    if (n < least || n > most) return false;
    digits(n, value);
    if (count) *count = n;
    return true;
  }
  // What stands between two numbers: one to `most` characters up to the next digit.
  bool separator(std::u16string& out, std::size_t most) {
    std::size_t n = 0;
    while (pos_ + n < text_.size() && !isAsciiDigit(text_[pos_ + n])) ++n;
    if (n == 0 || n > most) return false;
    out = text_.substr(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::u16string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace tollora
