// The file system on POSIX systems (Linux program and headless backend).
#pragma once

#include "ui/ui.h"

namespace ui {

class PosixFileSystem : public FileSystem {
 public:
  std::optional<std::string> read(const std::u16string& path, std::size_t maxBytes) override;
  IoResult replace(const std::u16string& path, const std::string& bytes) override;
};

// The folder that holds the running executable, without a trailing separator (except "/").
std::u16string posixProgramFolder();

}  // namespace ui
