// The names of the temporary files a save makes beside the file it replaces:
// "<file>.tmp-<pid>-<n>", and "<file>.tmp-<pid>-probe" for the try at whether a folder can
// hold a new file. Both backends make and recognise them here, so that the clean-up of a
// killed save's leftovers takes exactly these and never a file of the user's that merely
// starts with the same letters ("alarm.ini.tmp-notes.txt").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ui {

namespace temp_name_detail {

template <class Char>
void append(std::basic_string<Char>& out, std::string_view ascii) {
  for (char c : ascii) out += static_cast<Char>(c);
}

// Takes a run of 1 to 10 decimal digits off the front of `s`.
template <class Char>
std::optional<unsigned long long> takeNumber(std::basic_string_view<Char>& s) {
  std::size_t n = 0;
  unsigned long long value = 0;
  while (n < s.size() && n < 11 && s[n] >= Char('0') && s[n] <= Char('9')) value = value * 10 + (s[n++] - Char('0'));
  if (n == 0 || n > 10) return std::nullopt;
  s.remove_prefix(n);
  return value;
}

template <class Char>
bool take(std::basic_string_view<Char>& s, std::string_view ascii) {
  if (s.size() < ascii.size()) return false;
  for (std::size_t i = 0; i < ascii.size(); ++i)
    if (s[i] != static_cast<Char>(ascii[i])) return false;
  s.remove_prefix(ascii.size());
  return true;
}

}  // namespace temp_name_detail

// A save's temporary file for `file` (a path or a bare name) by process `pid`, attempt `n`.
template <class Char>
std::basic_string<Char> temporaryName(std::basic_string_view<Char> file, unsigned long pid, unsigned long n) {
  std::basic_string<Char> out(file);
  temp_name_detail::append(out, ".tmp-" + std::to_string(pid) + "-" + std::to_string(n));
  return out;
}

// The probe file that tries whether a new file can be made beside `file`.
template <class Char>
std::basic_string<Char> probeName(std::basic_string_view<Char> file, unsigned long pid) {
  std::basic_string<Char> out(file);
  temp_name_detail::append(out, ".tmp-" + std::to_string(pid) + "-probe");
  return out;
}

// The process that made `name`, when `name` is one of the two names above for `file` (both
// bare names, compared exactly); nothing for any other name.
template <class Char>
std::optional<unsigned long> temporaryOwner(std::basic_string_view<Char> name, std::basic_string_view<Char> file) {
  using namespace temp_name_detail;
  if (!name.starts_with(file)) return std::nullopt;
  name.remove_prefix(file.size());
  if (!take(name, ".tmp-")) return std::nullopt;
  const auto pid = takeNumber(name);
  if (!pid || *pid == 0 || *pid > 0xFFFFFFFFull || !take(name, "-")) return std::nullopt;
  if (!take(name, "probe") && !takeNumber(name)) return std::nullopt;
  if (!name.empty()) return std::nullopt;
  return static_cast<unsigned long>(*pid);
}

}  // namespace ui
