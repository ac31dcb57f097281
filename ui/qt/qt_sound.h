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

  // Plays a sound file, replacing one still playing; an empty path plays the desktop's alert.
  void play(const std::string& file);

 private:
  struct Canberra;
  std::unique_ptr<Canberra> canberra_;
  ca_context* context_ = nullptr;
  QElapsedTimer lastFailure_;  // when a sound file could not be played: no device, probably
};

}  // namespace ui::qt
