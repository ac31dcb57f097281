// The alarm file's format: reading one key of one section the way Windows' profile-string
// reader does, and writing the three lines Tollora keeps.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tollora::ini {

// What a read looks at, at most: more than any alarm file written by hand.
constexpr std::size_t kMaxFileBytes = 16u << 20;
// The longest value a read gives back, in UTF-16 code units: all a file can hold, so that
// whatever a save wrote comes back whole.
constexpr std::size_t kMaxValue = kMaxFileBytes;

// The value of `key` in the first `section`, names compared without regard to ASCII case.
// Blank lines, comments (";") and lines without "=" are skipped; blanks around the key and
// value and one pair of enclosing quotes are dropped; the value ends at a NUL and is cut to
// kMaxValue. `bytes` holds UTF-8 or UTF-16 (either byte order) after a byte-order mark,
// well-formed UTF-8 with characters beyond ASCII, else text in the code page that `decode`
// reads. An empty result for a missing section, key or value.
std::u16string ReadValue(const std::string& bytes, const std::u16string& section, const std::u16string& key,
                         const std::function<std::u16string(const std::string&)>& decode);

// An ASCII letter in upper case, anything else as it is: how names and designators compare.
constexpr char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// A value up to its first line break: CR, LF, and what other readers and editors take for one
// (VT, FF, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR).
std::u16string_view FirstLine(std::u16string_view value);

// "[ALARM]" CR LF "Time=" alarm CR LF "TimeBAK=" backup CR LF, each value up to its first
// line break, so that no text can add a line, a key or a section to the file, and without
// control characters other than TAB.
std::u16string AlarmFileText(const std::u16string& alarm, const std::u16string& backup);

// The file's bytes: the text in the code page, or UTF-8 behind a byte-order mark when the
// code page cannot hold every character.
std::string EncodeAlarmFile(const std::u16string& text,
                            const std::function<std::optional<std::string>(const std::u16string&)>& encode);

}  // namespace tollora::ini
