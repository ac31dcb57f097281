#include "ui/headless/headless.h"

#include <algorithm>

#include "ui/civil.h"

namespace ui {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

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

struct HeadlessBackend::TimerPeer : Peer {
  TimerPeer(HeadlessBackend& b, Timer& t) : backend(b), timer(t) { backend.arm(*this); }
  ~TimerPeer() override { backend.forget(*this); }
  void changed(Prop p) override {
    if (p == Prop::Timer) backend.arm(*this);
  }
  HeadlessBackend& backend;
  Timer& timer;
  bool armed = false;
  std::int64_t due = 0;
  std::uint64_t seq = 0;
};

HeadlessBackend::HeadlessBackend() { setWall({2022, 1, 11, 13, 0, 0, 0}); }
HeadlessBackend::~HeadlessBackend() = default;

std::int64_t HeadlessBackend::toEpochMs(const LocalTime& t) { return localMs(t); }

LocalTime HeadlessBackend::fromEpochMs(std::int64_t ms) { return fromLocalMs(ms); }

void HeadlessBackend::setWall(const LocalTime& t) { wallOffsetMs_ = toEpochMs(t) - monotonicMs_; }

std::int64_t HeadlessBackend::nextAlignedDue() const {
  const std::int64_t wall = wallMs();
  const std::int64_t next = (floorDiv(wall, 1000) + 1) * 1000;
  return monotonicMs_ + (next - wall);
}

std::int64_t HeadlessBackend::dueOf(const TimerPeer& t) const {
  if (const auto& aim = t.timer.aim()) {
    // The backend's local time is its wall clock. Never further than the re-aim period, so a
    // clock change nobody announced is still caught.
    return monotonicMs_ + std::clamp<std::int64_t>(*aim - wallMs(), 0, Timer::kReaimMs);
  }
  return t.timer.alignToSecond ? nextAlignedDue() : monotonicMs_ + t.timer.interval();
}

void HeadlessBackend::arm(TimerPeer& t) {
  if (!t.timer.ticking()) {
    t.armed = false;
    return;
  }
  // Re-arming a running timer for an unchanged setting is a no-op at the Timer level, so
  // every call here is a real start or restart.
  t.armed = true;
  t.seq = nextSeq_++;
  t.due = dueOf(t);
  if (std::find(timers_.begin(), timers_.end(), &t) == timers_.end()) timers_.push_back(&t);
}

void HeadlessBackend::forget(TimerPeer& t) { std::erase(timers_, &t); }

void HeadlessBackend::advance(std::int64_t ms) {
  const std::int64_t target = monotonicMs_ + ms;
  for (;;) {
    TimerPeer* next = nullptr;
    for (TimerPeer* t : timers_) {
      if (!t->armed || t->due > target) continue;
      if (!next || t->due < next->due || (t->due == next->due && t->seq < next->seq)) next = t;
    }
    if (!next) break;
    monotonicMs_ = next->due;
    if (monotonicMs_ != lastWakeMs_) {
      ++wakeUps;
      lastWakeMs_ = monotonicMs_;
    }
    next->seq = nextSeq_++;
    if (const auto& aim = next->timer.aim()) {
      if (wallMs() < *aim) {  // woken to aim again, not yet due
        next->due = dueOf(*next);
        continue;
      }
      next->armed = false;  // spent; the handler may aim it again
    } else {
      // Schedule the next period before the handler runs; the handler may stop or restart it.
      next->due = dueOf(*next);
    }
    ++ticks[next->timer.name()];
    next->timer.raiseTick();
  }
  monotonicMs_ = target;
}

void HeadlessBackend::jump(std::int64_t ms, bool notify) {
  wallOffsetMs_ += ms;
  if (!notify) return;
  for (TimerPeer* t : timers_)
    if (t->armed && (t->timer.alignToSecond || t->timer.aim())) t->due = dueOf(*t);
  app().timeChanged();
}

std::unique_ptr<FormPeer> HeadlessBackend::createPeers(Form& form) {
  for (Control* c : form.controls()) {
    if (c->kind() == Kind::Timer) c->attachPeer(std::make_unique<TimerPeer>(*this, static_cast<Timer&>(*c)));
  }
  Handle h = nextHandle_;
  nextHandle_ += 0x10;
  return std::make_unique<HeadlessFormPeer>(h, destroyedWindows);
}

bool HeadlessBackend::claimInstance(const std::u16string& key) {
  if (otherCopies.contains(key)) {
    forwardedKeys.push_back(key);
    return false;
  }
  claimedKeys.push_back(key);
  return true;
}

bool HeadlessBackend::startAgain(const std::u16string& key) {
  if (std::find(claimedKeys.begin(), claimedKeys.end(), key) == claimedKeys.end()) return false;
  app().anotherStart();
  return true;
}

bool HeadlessBackend::trayShow(const TrayIcon& icon) {
  trayCalls.push_back({true, icon});
  return trayAvailable;
}

bool HeadlessBackend::trayIconShown() const {
  int n = 0;
  for (auto& call : trayCalls) n += call.show ? (trayAvailable ? 1 : 0) : -1;
  return n > 0;
}

std::optional<std::string> HeadlessBackend::toCodePage(const std::u16string& text) {
  if (!latin1CodePage) return Backend::toCodePage(text);
  std::string out;
  for (char16_t c : text) {
    if (c > 0xFF) return std::nullopt;
    out += static_cast<char>(c);
  }
  return out;
}

std::u16string HeadlessBackend::fromCodePage(const std::string& bytes) {
  if (!latin1CodePage) return Backend::fromCodePage(bytes);
  std::u16string out;
  for (char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace ui
