#include "ui/qt/qt_sound.h"

#include <canberra.h>
#include <dlfcn.h>

#include <QApplication>

namespace ui::qt {

namespace {
constexpr uint32_t kSoundId = 1;
// ALSA writes a screenful to stderr on every failed attempt without a sound card, and the
// alarm beeps every 700 ms: after a failure, stay silent this long before trying again.
constexpr qint64 kRetryAfterMs = 60000;
}  // namespace

// libcanberra and the sound libraries below it (Vorbis, Ogg, tdb, ltdl) are loaded on the
// first sound, not at start: most starts never play one before the window shows, and some
// never at all. The package depends on it all the same.
struct SoundPlayer::Canberra {
  void* library = nullptr;
  decltype(&ca_context_create) create = nullptr;
  decltype(&ca_context_destroy) destroy = nullptr;
  decltype(&ca_context_change_props) changeProps = nullptr;
  decltype(&ca_context_play) play = nullptr;
  decltype(&ca_context_cancel) cancel = nullptr;

  bool load() {
    library = ::dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!library) return false;
    create = reinterpret_cast<decltype(create)>(::dlsym(library, "ca_context_create"));
    destroy = reinterpret_cast<decltype(destroy)>(::dlsym(library, "ca_context_destroy"));
    changeProps = reinterpret_cast<decltype(changeProps)>(::dlsym(library, "ca_context_change_props"));
    play = reinterpret_cast<decltype(play)>(::dlsym(library, "ca_context_play"));
    cancel = reinterpret_cast<decltype(cancel)>(::dlsym(library, "ca_context_cancel"));
    return create && destroy && changeProps && play && cancel;
  }
};

SoundPlayer::SoundPlayer() = default;

SoundPlayer::~SoundPlayer() {
  if (context_) canberra_->destroy(context_);
  // The library stays mapped: its threads may still be winding down.
}

SoundPlayer::Played SoundPlayer::play(const std::string& file) {
  const bool quiet = lastFailure_.isValid() && lastFailure_.elapsed() < kRetryAfterMs;
  if (!canberra_) {
    canberra_ = std::make_unique<Canberra>();
    if (!canberra_->load()) canberra_->create = nullptr;
  }
  if (!context_ && !quiet && canberra_->create) {
    if (canberra_->create(&context_) != CA_SUCCESS) context_ = nullptr;
    else canberra_->changeProps(context_, CA_PROP_APPLICATION_NAME, "Tollora", CA_PROP_APPLICATION_ID, "tollora", nullptr);
  }
  // No sound system, or one that just failed: the display's bell, so an alarm is never silent.
  if (!context_ || quiet) {
    QApplication::beep();
    return Played::Bell;
  }
  canberra_->cancel(context_, kSoundId);
  if (!file.empty() &&
      canberra_->play(context_, kSoundId, CA_PROP_MEDIA_FILENAME, file.c_str(), CA_PROP_MEDIA_ROLE, "event", nullptr) == CA_SUCCESS)
    return Played::File;
  // A missing or damaged file, or no file asked for: the desktop's own alert from its sound
  // theme. canberra says "not found" alike for a theme without the sound and for no device;
  // the display's bell is the last resort then, and the device is left alone for a while.
  for (const char* event : {"alarm-clock-elapsed", "bell"}) {
    if (canberra_->play(context_, kSoundId, CA_PROP_EVENT_ID, event, CA_PROP_MEDIA_ROLE, "event", nullptr) == CA_SUCCESS)
      return Played::Alert;
  }
  lastFailure_.start();
  QApplication::beep();
  return Played::Bell;
}

}  // namespace ui::qt
