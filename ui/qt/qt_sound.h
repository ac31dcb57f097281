// Sound through libcanberra: asynchronous, quiet without a device, and not even the library is
// loaded until the first sound plays.
#pragma once

#include <QElapsedTimer>
#include <memory>
#include <string>

struct ca_context;

namespace ui::qt {

class SoundPlayer {
 public:
  SoundPlayer();
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  enum class Played { File, Alert, Bell };
  // Plays a sound file, replacing one still playing. An empty path, or a file that cannot play
  // (missing, damaged), plays the desktop's alert from its sound theme; where that cannot play
  // either (no device, no theme), the display's bell rings. Returns what it started.
  Played play(const std::string& file);

 private:
  struct Canberra;
  std::unique_ptr<Canberra> canberra_;
  ca_context* context_ = nullptr;
  QElapsedTimer lastFailure_;  // when a sound file could not be played: no device, probably
};

}  // namespace ui::qt
