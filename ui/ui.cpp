#include "ui/ui.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ui/civil.h"

namespace ui {

namespace {
App* g_app = nullptr;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace

App& app() {
  assert(g_app && "create a ui::App (with a backend) before using forms or services");
  return *g_app;
}

void controlArrayIndexError(int asked, int held) {
  std::fprintf(stderr, "control array index %d does not exist (only %d)\n", asked, held);
  std::abort();
}

// --- controls ---------------------------------------------------------------------------

Control::Control(Form& owner, Kind kind, std::string name) : form_(owner), kind_(kind), name_(std::move(name)) {
  owner.add(this);
}

void Control::notify(Prop p) {
  mirror(p);
  if (g_app && g_app->observer) g_app->observer(*this, p);
}

void Control::mirror(Prop p) {
  if (peer_) peer_->changed(p);
}

void Control::setVisible(bool v) {
  if (visible_ == v) return;
  visible_ = v;
  notify(Prop::Visible);
}

void Control::setFocus() {
  form_.focusRequest_ = this;
  notify(Prop::Focus);
}

void Control::setToolTip(std::u16string text) {
  if (toolTip == text) return;
  toolTip = std::move(text);
  notify(Prop::ToolTip);
}

void Control::setEnabled(bool v) {
  if (enabled_ == v) return;
  enabled_ = v;
  notify(kind_ == Kind::Timer ? Prop::Timer : Prop::Enabled);
}

void Label::setCaption(std::u16string c) {
  if (caption_ == c) return;
  caption_ = std::move(c);
  notify(Prop::Caption);
}
void Label::setForeColor(Color c) {
  if (fore_ == c) return;
  fore_ = c;
  notify(Prop::ForeColor);
}
void Label::setBackColor(Color c) {
  if (back_ == c) return;
  back_ = c;
  notify(Prop::BackColor);
}

bool TextBox::isLineBreak(char16_t c) {
  // CR, LF, the vertical tab and form feed, NEL, and Unicode's line and paragraph separators
  // (what a rich-text source on the clipboard may give).
  return c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\u0085' || c == u'\u2028' || c == u'\u2029';
}

std::u16string TextBox::firstLine(std::u16string t) {
  t.erase(std::find_if(t.begin(), t.end(), isLineBreak), t.end());
  return t;
}

std::size_t TextBox::nativeEdited(std::u16string t, std::optional<std::size_t> caret) {
  std::size_t at = 0;
  if (multiLine || std::none_of(t.begin(), t.end(), isLineBreak)) {
    at = caret ? std::min(*caret, t.size()) : t.size();
  } else {
    // What follows the edit is the end of the line before it: after the caret, or, without one
    // or where the caret says otherwise, the longest end that both texts share and that leaves
    // their common beginning alone.
    const std::size_t most = std::min(text_.size(), t.size());
    std::size_t suffix = 0;
    if (caret && *caret <= t.size() && t.size() - *caret <= text_.size() &&
        std::equal(t.begin() + static_cast<std::ptrdiff_t>(*caret), t.end(), text_.end() - static_cast<std::ptrdiff_t>(t.size() - *caret))) {
      suffix = t.size() - *caret;
    } else {
      std::size_t prefix = 0;
      while (prefix < most && text_[prefix] == t[prefix]) ++prefix;
      while (suffix < most - prefix && text_[text_.size() - 1 - suffix] == t[t.size() - 1 - suffix]) ++suffix;
    }
    const std::u16string head = firstLine(t.substr(0, t.size() - suffix));
    t = firstLine(head + t.substr(t.size() - suffix));
    at = std::min(head.size(), t.size());
  }
  if (text_ == t) return at;
  text_ = std::move(t);
  // The box may be gone once its change handler has run.
  raiseChange();
  return at;
}

void TextBox::setText(std::u16string t) {
  if (!multiLine) t = firstLine(std::move(t));
  if (text_ == t) return;
  text_ = std::move(t);
  notify(Prop::Caption);
  raiseChange();
}
void TextBox::raiseChange() {
  // Copy the handler: the change may unload the form and free this box.
  auto handler = onChange;
  if (handler && g_app) g_app->deliver(handler);
}
void TextBox::setForeColor(Color c) {
  if (fore_ == c) return;
  fore_ = c;
  notify(Prop::ForeColor);
}
void TextBox::setBackColor(Color c) {
  if (back_ == c) return;
  back_ = c;
  notify(Prop::BackColor);
}

void Button::setCaption(std::u16string c) {
  if (caption_ == c) return;
  caption_ = std::move(c);
  notify(Prop::Caption);
}
void Button::setBackColor(Color c) {
  if (back_ == c) return;
  back_ = c;
  notify(Prop::BackColor);
}
void Button::raiseClick() {
  // Copy the handler: the click may unload the form and free this button.
  auto handler = onClick;
  if (!visible() || !enabled() || !handler) return;
  app().deliver(handler);
}

void ProgressBar::setValue(float v) {
  if (v < min) v = min;
  if (v > max) v = max;
  if (value_ == v) return;
  value_ = v;
  notify(Prop::Value);
}

void ProgressBar::setBackColor(Color c) {
  if (back_ == c) return;
  back_ = c;
  notify(Prop::BarColors);
}

void ProgressBar::setBarColor(Color c) {
  if (bar_ == c) return;
  bar_ = c;
  notify(Prop::BarColors);
}

void Timer::setInterval(int ms) {
  if (ms < 0) ms = 0;
  if (interval_ == ms) return;
  interval_ = ms;
  notify(Prop::Timer);
}

void Timer::aimAt(std::optional<std::int64_t> localMs) {
  if (aim_ == localMs) return;
  aim_ = localMs;
  notify(Prop::Timer);
}

bool Timer::ticking() const { return running() && (!onlyWhileShown_ || form().visible()); }

void Timer::setOnlyWhileShown(bool v) {
  if (onlyWhileShown_ == v) return;
  onlyWhileShown_ = v;
  heldAt_.reset();
  notify(Prop::Timer);
}

void Timer::formShownOrHidden(bool shown) {
  if (!onlyWhileShown_) return;
  const std::int64_t now = localMs(app().backend().now());
  if (!shown) {
    if (running()) heldAt_ = now;
    notify(Prop::Timer);
    return;
  }
  const auto heldAt = heldAt_;
  heldAt_.reset();
  notify(Prop::Timer);
  if (!heldAt || !running()) return;
  // A clock set back while hidden counts as a missed tick too: the label is out of date.
  const bool missed = alignToSecond ? now / 1000 != *heldAt / 1000 : now - *heldAt >= interval_ || now < *heldAt;
  if (missed) tick();
}

// --- timing ---------------------------------------------------------------------------
//
// Every timer runs on its peer's one-shot countdown, counted down again on each run-out: an
// interval timer for its interval, the second-aligned one to just past the next second of the
// wall clock, an aimed one to just past its moment (or for about kReaimMs at most, then it aims
// again). The wall-clock kinds compare the wall clock with the monotonic one whenever they run
// out, so a clock set that nothing announced still reaches the program.

void Timer::mirror(Prop p) {
  if (p == Prop::Timer) arm();
}

void Timer::arm() {
  auto* countdown = dynamic_cast<TimerPeer*>(peer());
  if (!countdown) return;  // not loaded: Form::Load arms it
  if (!ticking()) {
    countdown->stop();
    return;
  }
  Backend& b = app().backend();
  const std::int64_t slack = b.timerSlackMs();
  if (aim_) {
    const std::int64_t now = b.utcMs();
    const std::int64_t left = b.utcReaching(*aim_, now) - now;
    // A wake only to aim again falls just past a second, where a shown clock wakes anyway.
    const std::int64_t reaim = floorDiv(now + kReaimMs, 1000) * 1000 - now + slack;
    countdown->start(left <= 0 ? 0 : left >= kReaimMs ? reaim : left + slack);
  } else if (alignToSecond) {
    const std::int64_t now = b.utcMs();
    boundary_ = (floorDiv(now, 1000) + 1) * 1000;
    countdown->start(boundary_ - now + slack);
  } else {
    countdown->start(interval_);
  }
}

bool Timer::elapsed() {
  if (!ticking()) return false;  // ran out just as it was stopped
  Backend& b = app().backend();
  const bool jumped = wallClock() && app().wallClockJumped();
  bool due = true;
  if (aim_) {
    // Not there yet: a wake to aim again, or early by the wall clock. Local time decides, as
    // it does for the label: in a repeated hour its first pass is the moment.
    const std::int64_t now = b.utcMs();
    due = now + b.utcOffsetMs(now) >= *aim_;
    if (due) aim_.reset();  // spent by this tick
  } else if (alignToSecond) {
    // Early for its second: counting down again waits out the rest, where a tick would show
    // the old second. A second further ahead than that means the clock went back: tick now.
    const std::int64_t now = b.utcMs();
    due = now >= boundary_ || now < boundary_ - 1000;
  }
  arm();
  if (!due) {
    if (jumped) app().timeChanged();
    return false;
  }
  // The tick, then news of a jump, as one event: the handler may unload the form and free
  // this timer, so nothing of it is touched below.
  auto handler = onTick;
  app().deliver([&] {
    if (handler) handler();
    if (jumped) app().timeChanged();
  });
  return true;
}

void Timer::tick() {
  auto handler = onTick;
  if (running() && handler) app().deliver(handler);
}

// --- forms ------------------------------------------------------------------------------

Form::Form(std::u16string c) : caption(std::move(c)) {}

// The controls are members of the derived form and already gone here; their peers went
// with them. App releases the peers of a still-loaded form before deleting it.
Form::~Form() = default;

void Form::releasePeers() {
  for (Control* c : controls_) c->detachPeer();
  peer_.reset();
}

void Form::setLeft(int twips) {
  if (left_ == twips) return;
  left_ = twips;
  notify(Prop::Geometry);
}
void Form::setTop(int twips) {
  if (top_ == twips) return;
  top_ = twips;
  notify(Prop::Geometry);
}
void Form::setClientSize(int w, int h) {
  scaleWidth_ = w;
  scaleHeight_ = h;
  notify(Prop::Geometry);
}

void Form::setWindowState(int state) {
  if (windowState_ == state) return;
  windowState_ = state;
  notify(Prop::State);
  if (loaded_) Form_Resize();
}

void Form::Load() {
  if (!dead_ && !loaded_) app().load(*this);
}

void Form::Show() {
  if (dead_) return;  // an unloaded window is replaced by a fresh one through App::instance
  if (!loaded_) app().load(*this);
  if (!loaded_ || unloading_) return;  // unloaded again from inside its own Form_Load
  const bool was = visible_;
  visible_ = true;
  notify(Prop::Shown);
  if (!was) timersFollowVisibility();
}

void Form::Hide() {
  if (!loaded_ || !visible_) return;
  visible_ = false;
  notify(Prop::Shown);
  timersFollowVisibility();
}

void Form::timersFollowVisibility() {
  // A tick delivered here may unload the form: walk a copy and stop once it is gone.
  const auto controls = controls_;
  for (Control* c : controls) {
    if (!loaded_ || unloading_) return;
    if (c->kind() == Kind::Timer) static_cast<Timer*>(c)->formShownOrHidden(visible_);
  }
}

void Form::Refresh() { notify(Prop::Repaint); }

void Form::Unload() {
  if (!loaded_ || unloading_) return;
  unloading_ = true;
  int cancel = 0;
  Form_Unload(cancel);
  if (cancel) {
    unloading_ = false;
    return;
  }
  releasePeers();
  visible_ = false;
  loaded_ = false;
  dead_ = true;
  app().unloaded(*this);
}

Handle Form::hWnd() const { return peer_ ? peer_->handle() : 0; }
Handle Form::iconHandle() const { return peer_ ? peer_->iconHandle() : 0; }

void Form::nativeMoved(int l, int t) {
  left_ = l;
  top_ = t;
}

void Form::nativeResized(int w, int h) {
  if (w == scaleWidth_ && h == scaleHeight_) return;
  scaleWidth_ = w;
  scaleHeight_ = h;
  app().deliver([this] { Form_Resize(); });
}

void Form::nativeStateChanged(int state) {
  if (state == windowState_) return;
  windowState_ = state;
  app().deliver([this] { Form_Resize(); });
}

void Form::nativeCloseRequested() {
  app().deliver([this] { Unload(); });
}

void Form::nativeTrayClick(TrayClick click) {
  app().deliver([this, click] { Form_TrayMessage(click); });
}

void Form::nativeTrayChanged(bool available) {
  app().deliver([this, available] { Form_TrayChanged(available); });
}

// --- the application --------------------------------------------------------------------

App::App(Backend& backend) : backend_(backend) {
  assert(!g_app && "only one ui::App at a time");
  g_app = this;
}

App::~App() {
  // Free forms while the backend is still alive: their peers belong to it.
  graveyard_.clear();
  for (auto& [type, f] : slots_)
    if (f) f->releasePeers();
  slots_.clear();
  g_app = nullptr;
}

void App::load(Form& f) {
  f.peer_ = backend_.createPeers(f);
  f.loaded_ = true;
  forms_.push_back(&f);
  for (Control* c : f.controls())
    if (c->kind() == Kind::Timer) static_cast<Timer*>(c)->arm();
  deliver([&f] { f.Form_Load(); });
}

void App::unloaded(Form& f) {
  std::erase(forms_, &f);
  if (forms_.empty()) backend_.quit();
}

void App::deliver(const std::function<void()>& event) {
  ++depth_;
  event();
  --depth_;
  if (depth_ == 0) graveyard_.clear();
}

void App::timeChanged() {
  wallAhead_ = backend_.utcMs() - backend_.monotonicMs();
  for (Form* f : forms_)
    for (Control* c : f->controls())
      if (c->kind() == Kind::Timer && static_cast<Timer*>(c)->wallClock()) static_cast<Timer*>(c)->arm();
  auto forms = forms_;
  for (Form* f : forms) {
    deliver([f] {
      if (f->loaded()) f->Form_TimeChanged();
    });
  }
}

bool App::wallClockJumped() {
  const std::int64_t ahead = backend_.utcMs() - backend_.monotonicMs();
  const bool jumped = wallAhead_ && std::llabs(ahead - *wallAhead_) > kClockJumpMs;
  wallAhead_ = ahead;
  return jumped;
}

Form* App::formOf(Handle window) const {
  for (Form* f : forms_)
    if (f->hWnd() == window) return f;
  return nullptr;
}

App::Claim App::claimInstance(const std::u16string& path) {
  const std::int64_t until = backend_.monotonicMs() + kClaimWithinMs;
  // One file reached by two paths (a linked folder, another drive letter) is one key.
  const std::u16string key = backend_.files().identity(path);
  for (;;) {
    switch (backend_.tryLockInstance(key)) {
      case Backend::InstanceLock::Held:
      case Backend::InstanceLock::Unsupported:
        return Claim::Claimed;
      case Backend::InstanceLock::Unavailable:
        return Claim::NoLock;
      case Backend::InstanceLock::Busy:
        break;
    }
    // A holder may have taken the lock a moment ago and not listen yet, or be on its way out
    // (its lock is free on the next round): so knock, and try again, until the deadline.
    std::int64_t left = until - backend_.monotonicMs();
    if (left <= 0) return Claim::NoAnswer;
    if (backend_.knockInstance(key, static_cast<int>(std::min<std::int64_t>(left, kKnockMs)))) return Claim::Forwarded;
    left = until - backend_.monotonicMs();
    if (left <= 0) return Claim::NoAnswer;
    backend_.pauseMs(static_cast<int>(std::min<std::int64_t>(left, kRetryMs)));
  }
}

void App::anotherStart() {
  if (onAnotherStart) deliver(onAnotherStart);
}

// --- time -------------------------------------------------------------------------------

std::int64_t localMs(const LocalTime& t) {
  const std::int64_t days = daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
  return ((days * 24 + t.hour) * 60 + t.minute) * 60000LL + t.second * 1000LL + t.millisecond;
}

LocalTime fromLocalMs(std::int64_t ms) {
  LocalTime t;
  std::int64_t days = ms / 86400000LL;
  if (ms % 86400000LL < 0) --days;
  std::int64_t rest = ms - days * 86400000LL;
  civilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  t.minute = static_cast<int>(rest / 60000);
  rest %= 60000;
  t.second = static_cast<int>(rest / 1000);
  t.millisecond = static_cast<int>(rest % 1000);
  return t;
}

std::int64_t Backend::utcReaching(std::int64_t local, std::int64_t from) {
  const auto localAt = [this](std::int64_t utc) { return utc + utcOffsetMs(utc); };
  if (localAt(from) >= local) return from;
  // Local time shows the moment at one instant, or at two in a repeated hour: the moment less
  // the offset in force a day and a half before it or after it (zones change their offsets
  // months apart, so no third one lies between).
  constexpr std::int64_t kSpan = 36 * 3600 * 1000LL;
  const std::int64_t before = local - utcOffsetMs(local - kSpan), after = local - utcOffsetMs(local + kSpan);
  std::optional<std::int64_t> first;
  for (std::int64_t u : {before, after})
    if (u > from && localAt(u) == local && (!first || u < *first)) first = u;
  if (first) return *first;
  // No instant shows it (the skipped hour): the first one past it is the jump. Halve the span
  // between `from`, still before the moment, and an instant past it.
  std::int64_t lo = from, hi = std::max({before, after, from + 1});
  for (int i = 0; i < 8 && localAt(hi) < local; ++i) hi += local - localAt(hi);
  if (localAt(hi) < local) return hi;  // a zone no sane rules make
  while (hi - lo > 1) {
    const std::int64_t mid = lo + (hi - lo) / 2;
    (localAt(mid) >= local ? hi : lo) = mid;
  }
  return hi;
}

// --- text -------------------------------------------------------------------------------

std::optional<std::string> toUtf8CodePage(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return toUtf8(text);
}


std::string toUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Invalid sequences become U+FFFD, one per bad byte, so damaged input never stops a read.
std::u16string fromUtf8(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < s.size()) {
    unsigned char b = byte(i);
    char32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else {
      std::size_t need = (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
      if (need && i + need <= s.size()) {
        char32_t v = b & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
        bool ok = true;
        for (std::size_t k = 1; k < need; ++k) {
          if ((byte(i + k) & 0xC0) != 0x80) {
            ok = false;
            break;
          }
          v = (v << 6) | (byte(i + k) & 0x3F);
        }
        const char32_t minimum = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
        if (ok && v >= minimum && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
          c = v;
          len = need;
        }
      }
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
  }
  return out;
}

}  // namespace ui
