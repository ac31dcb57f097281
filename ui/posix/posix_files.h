// The file system on POSIX systems (Linux program and headless backend).
#pragma once

#include "ui/ui.h"

namespace ui {

class PosixFileSystem : public FileSystem {
 public:
  ReadResult read(const std::u16string& path, std::size_t maxBytes) override;
  IoResult replace(const std::u16string& path, const std::string& bytes) override;
  bool canCreate(const std::u16string& path) override;
  bool makeFolder(const std::u16string& folder) override;
  std::u16string identity(const std::u16string& path) override;
};

// The folder that holds the running executable, without a trailing separator (except "/").
std::u16string posixProgramFolder();

// Whether `folder` belongs to the system: under /usr, /bin, /sbin, /lib*, /opt, /etc or /var,
// or under the folder this build installs its program into (`installBindir`), unless that
// is in the user's home (an install into ~/.local stays the user's own).
bool posixSystemFolder(const std::string& folder, const std::string& installBindir);
bool posixSystemFolder(const std::u16string& folder);

// $XDG_CONFIG_HOME/tollora, or ~/.config/tollora; empty when neither can be worked out.
std::u16string posixUserFolder();
// $XDG_STATE_HOME/tollora, or ~/.local/state/tollora; empty when neither can be worked out.
std::u16string posixStateFolder();
// The user's home folder without a trailing separator, or empty when none can be worked out.
std::string posixHomeFolder();

}  // namespace ui
