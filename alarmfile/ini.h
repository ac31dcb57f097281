// The alarm file's format: reading one key of one section the way Windows' profile-string
// reader does, and writing the three lines Tollora keeps.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tollora::ini {

// One limit for the alarm text, in UTF-16 code units, kept alike by the box's "Set Alarm", the
// save and the start: far more than any alarm needs, and a start reads the largest file in
// milliseconds. Nothing longer is ever cut: a save refuses it and a start reports it.
constexpr std::size_t kMaxValue = 4096;
// What a start reads, at most: room for both values in any encoding and a hand-edited file's
// extras. A larger file is reported, not cut.
constexpr std::size_t kMaxFileBytes = 1u << 20;

// The file's text: UTF-8 or UTF-16 (either byte order) after a byte-order mark, UTF-16 told by
// its NUL bytes (an alarm file's names are ASCII, whose high bytes are zero), well-formed UTF-8
// with characters beyond ASCII, else text in the code page that `decode` reads. Nothing when
// the bytes are no text at all: NUL bytes that are not UTF-16, invalid UTF-8 or UTF-16, or
// control characters no editor writes.
std::optional<std::u16string> DecodeFile(const std::string& bytes, const std::function<std::u16string(const std::string&)>& decode);

// The value of `key` in the first `section`, names compared without regard to ASCII case.
// Blank lines, comments (";") and lines without "=" are skipped; blanks around the key and
// value and one pair of enclosing quotes are dropped; nothing is cut. An empty result for a
// missing section, key or value.
std::u16string ValueIn(std::u16string_view text, const std::u16string& section, const std::u16string& key);
// The same from the file's bytes; empty for bytes that are no text.
std::u16string ReadValue(const std::string& bytes, const std::u16string& section, const std::u16string& key,
                         const std::function<std::u16string(const std::string&)>& decode);

// An ASCII letter in upper case, anything else as it is: how names and designators compare.
constexpr char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// A value up to its first line break, as the alarm box takes it (ui::TextBox::isLineBreak): CR,
// LF, and what other readers and editors take for one.
std::u16string_view FirstLine(std::u16string_view value);

// "[ALARM]" CR LF "Time=" alarm CR LF "TimeBAK=" backup CR LF, each value up to its first
// line break, so that no text can add a line, a key or a section to the file, and without
// control characters other than TAB.
std::u16string AlarmFileText(const std::u16string& alarm, const std::u16string& backup);

// The file's bytes: a text that is the same in the code page and in UTF-8 (ASCII, or a code
// page that is UTF-8) as those bytes; any other behind a UTF-8 byte-order mark, so that the
// program's own save reads back whatever the code page is when it is read.
std::string EncodeAlarmFile(const std::u16string& text,
                            const std::function<std::optional<std::string>(const std::u16string&)>& encode);

}  // namespace tollora::ini
