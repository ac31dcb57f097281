// The name a backend gives the things that mark "a Tollora runs with this alarm file" (a
// kernel object, a socket): short, fixed-length and free of path characters, derived from
// the alarm file's identity (FileSystem::identity).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

// 64-bit FNV-1a as 16 lowercase hex digits.
inline std::string instanceTag(std::string_view identityBytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : identityBytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<std::size_t>(i)] = kHex[h & 0xF];
  return out;
}

}  // namespace ui
