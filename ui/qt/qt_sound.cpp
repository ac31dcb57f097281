#include "ui/qt/qt_sound.h"

#include <canberra.h>

#include <QApplication>

namespace ui::qt {

namespace {
constexpr uint32_t kSoundId = 1;
// ALSA writes a screenful to stderr on every failed attempt without a sound card, and the
// alarm beeps every 700 ms: after a failure, stay silent this long before trying again.
constexpr qint64 kRetryAfterMs = 60000;
}  // namespace

SoundPlayer::~SoundPlayer() {
  if (context_) ca_context_destroy(context_);
}

void SoundPlayer::play(const std::string& file) {
  const bool quiet = lastFailure_.isValid() && lastFailure_.elapsed() < kRetryAfterMs;
  if (!context_ && !quiet) {
    if (ca_context_create(&context_) != CA_SUCCESS) context_ = nullptr;
    else ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Tollora", CA_PROP_APPLICATION_ID, "tollora", nullptr);
  }
  if (!context_ || quiet) {
    if (file.empty()) QApplication::beep();
    return;
  }
  ca_context_cancel(context_, kSoundId);
  if (!file.empty()) {
    if (ca_context_play(context_, kSoundId, CA_PROP_MEDIA_FILENAME, file.c_str(), CA_PROP_MEDIA_ROLE, "event", nullptr) != CA_SUCCESS)
      lastFailure_.start();
    return;
  }
  // canberra says "not found" alike for a theme without the sound and for no device; the
  // display's bell is the desktop's default sound then.
  if (ca_context_play(context_, kSoundId, CA_PROP_EVENT_ID, "bell", CA_PROP_MEDIA_ROLE, "event", nullptr) != CA_SUCCESS)
    QApplication::beep();
}

}  // namespace ui::qt
