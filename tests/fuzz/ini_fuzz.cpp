// libFuzzer target: the alarm-file reader must take any bytes without crashing or hanging,
// and never give back more than it promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "alarmfile/ini.h"
#include "ui/ui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto decode = [](const std::string& b) { return ui::fromUtf8(b); };
  for (const char16_t* key : {u"Time", u"TimeBAK"}) {
    const std::u16string value = tollora::ini::ReadValue(bytes, u"ALARM", key, decode);
    if (value.size() > bytes.size() || value.find(u'\0') != std::u16string::npos) std::abort();
    // What the writer makes of a value, the reader gives back up to its first line break.
    const std::u16string text = tollora::ini::AlarmFileText(value, value);
    // Exactly three lines, whatever the value holds.
    if (std::count(text.begin(), text.end(), u'\n') != 3 || std::count(text.begin(), text.end(), u'\r') != 3) std::abort();
    const std::u16string again = tollora::ini::ReadValue(ui::toUtf8(text), u"ALARM", u"Time", decode);
    if (again.size() > value.size()) std::abort();
  }
  return 0;
}
