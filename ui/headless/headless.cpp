#include "ui/headless/headless.h"

#include <algorithm>
#include <cstdio>

#include "ui/civil.h"

namespace ui {

namespace {

class HeadlessFormPeer : public FormPeer {
 public:
  HeadlessFormPeer(Handle h, std::vector<Handle>& destroyed) : handle_(h), destroyed_(destroyed) {}
  ~HeadlessFormPeer() override { destroyed_.push_back(handle_); }
  void changed(Prop) override {}
  Handle handle() const override { return handle_; }
  Handle iconHandle() const override { return handle_ + 1; }

 private:
  Handle handle_;
  std::vector<Handle>& destroyed_;
};

}  // namespace

struct HeadlessBackend::Countdown : TimerPeer {
  Countdown(HeadlessBackend& b, Timer& t) : backend(b), timer(t) { backend.countdowns_.push_back(this); }
  ~Countdown() override { std::erase(backend.countdowns_, this); }
  void start(std::int64_t ms) override {
    running = true;
    due = backend.monotonicMs_ + (ms > backend.countdownsEarlyMs ? ms - backend.countdownsEarlyMs : ms);
    seq = backend.nextSeq_++;
  }
  void stop() override { running = false; }
  HeadlessBackend& backend;
  Timer& timer;
  bool running = false;
  std::int64_t due = 0;
  std::uint64_t seq = 0;
};

HeadlessBackend::HeadlessBackend() { setWall({2022, 1, 11, 13, 0, 0, 0}); }
HeadlessBackend::~HeadlessBackend() = default;

void HeadlessBackend::setWall(const LocalTime& t) {
  const std::int64_t local = localMs(t);
  wallOffsetMs_ = utcReaching(local, local - 2 * 86400000LL) - monotonicMs_;
}

std::int64_t HeadlessBackend::offsetAt(std::int64_t utc) const {
  std::int64_t offset = 0;
  for (const auto& [from, ms] : zone)
    if (utc >= from) offset = ms;
  return offset;
}

void HeadlessBackend::changeZone(std::int64_t offsetMs, bool notify) {
  const std::int64_t now = utcMs();
  std::erase_if(zone, [&](const auto& entry) { return entry.first >= now; });
  zone.emplace_back(now, offsetMs);
  if (notify) app().timeChanged();
}

std::u16string HeadlessBackend::longDate(const LocalTime& t) {
  static const char* const days[] = {"Thursday", "Friday", "Saturday", "Sunday", "Monday", "Tuesday", "Wednesday"};
  static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
  const std::int64_t day = daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
  return fromUtf8(std::string(days[((day % 7) + 7) % 7]) + ", " + std::to_string(t.day) + " " + months[t.month - 1] +
                  " " + std::to_string(t.year));
}

std::u16string HeadlessBackend::shortTime(const LocalTime& t) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
  return fromUtf8(text);
}

void HeadlessBackend::advance(std::int64_t ms) {
  const std::int64_t target = monotonicMs_ + ms;
  for (;;) {
    Countdown* next = nullptr;
    for (Countdown* c : countdowns_) {
      if (!c->running || c->due > target) continue;
      if (!next || c->due < next->due || (c->due == next->due && c->seq < next->seq)) next = c;
    }
    if (!next) break;
    monotonicMs_ = next->due;
    if (monotonicMs_ != lastWakeMs_) {
      ++wakeUps;
      lastWakeMs_ = monotonicMs_;
    }
    next->running = false;
    const std::string name = next->timer.name();  // the tick may free the timer
    if (next->timer.elapsed()) ++ticks[name];
  }
  monotonicMs_ = target;
}

void HeadlessBackend::jump(std::int64_t ms, bool notify) {
  wallOffsetMs_ += ms;
  if (notify) app().timeChanged();
}

std::unique_ptr<FormPeer> HeadlessBackend::createPeers(Form& form) {
  for (Control* c : form.controls()) {
    if (c->kind() == Kind::Timer) c->attachPeer(std::make_unique<Countdown>(*this, static_cast<Timer&>(*c)));
  }
  Handle h = nextHandle_;
  nextHandle_ += 0x10;
  return std::make_unique<HeadlessFormPeer>(h, destroyedWindows);
}

// The other copy whose alarm file is the one with identity `key`, if any.
std::map<std::u16string, HeadlessBackend::OtherCopy>::iterator HeadlessBackend::otherCopyOf(const std::u16string& key) {
  for (auto it = otherCopies.begin(); it != otherCopies.end(); ++it)
    if (files().identity(it->first) == key) return it;
  return otherCopies.end();
}

Backend::InstanceLock HeadlessBackend::tryLockInstance(const std::u16string& key) {
  const auto other = otherCopyOf(key);
  if (other != otherCopies.end() && monotonicMs_ < other->second.endsAtMs) return InstanceLock::Busy;
  if (freeLock == InstanceLock::Held) claimedKeys.push_back(key);
  return freeLock;
}

// A holder that does not answer keeps the knock waiting for its whole time.
bool HeadlessBackend::knockInstance(const std::u16string& key, int timeoutMs) {
  ++knocks;
  const auto other = otherCopyOf(key);
  if (other == otherCopies.end()) return false;
  const std::int64_t answers = std::max(other->second.answersFromMs, monotonicMs_);
  if (answers >= other->second.endsAtMs || answers > monotonicMs_ + timeoutMs) {
    advance(timeoutMs);
    return false;
  }
  advance(answers - monotonicMs_);
  forwardedKeys.push_back(other->first);
  return true;
}

bool HeadlessBackend::startAgain(const std::u16string& path) {
  if (std::find(claimedKeys.begin(), claimedKeys.end(), files().identity(path)) == claimedKeys.end()) return false;
  app().anotherStart();
  return true;
}

bool HeadlessBackend::trayShow(const TrayIcon& icon) {
  trayCalls.push_back({true, icon});
  trayWindow_ = icon.hWnd;
  iconShown_ = trayAvailable;
  return iconShown_;
}

void HeadlessBackend::setTrayAvailable(bool available) {
  trayAvailable = available;
  if (!available) iconShown_ = false;
  if (Form* form = app().formOf(trayWindow_)) form->nativeTrayChanged(available);
}

std::optional<std::string> HeadlessBackend::toCodePage(const std::u16string& text) {
  if (!latin1CodePage) return toUtf8CodePage(text);
  std::string out;
  for (char16_t c : text) {
    if (c > 0xFF) return std::nullopt;
    out += static_cast<char>(c);
  }
  return out;
}

std::u16string HeadlessBackend::fromCodePage(const std::string& bytes) {
  if (!latin1CodePage) return fromUtf8(bytes);
  std::u16string out;
  for (char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace ui
