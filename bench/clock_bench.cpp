#include "bench/clock_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "alarm/clock_text.h"
#include "app/alarm_form.h"

namespace tollora::bench {

namespace {

using Micros = std::int64_t;

Micros wallMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::u16string clockTextAt(std::time_t t) {
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  const ui::LocalTime lt{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
  return FormatClockText(lt, lt, ui::app().backend().regional());
}

// When each second first showed on a label.
struct Series {
  std::map<std::time_t, Micros> shownAt;
  void record(const std::u16string& text, Micros at) {
    const std::time_t now = at / 1000000;
    for (std::time_t s : {now, now - 1, now - 2}) {
      if (clockTextAt(s) == text) {
        shownAt.emplace(s, at);
        return;
      }
    }
  }
};

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p / 100.0 * static_cast<double>(v.size())))];
}

void row(const char* loop, const char* what, const std::vector<double>& ms, const std::string& skipped) {
  std::printf("| %-6s | %-24s | %7.1f | %7.1f | %7.1f | %7s | %7zu |\n", loop, what, percentile(ms, 50),
              percentile(ms, 99), ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), skipped.c_str(),
              ms.size());
}

class Driver : public ui::Form {
 public:
  Driver() : ui::Form(u"Tollora clock benchmark") {
    setClientSize(3600, 600);
    lblFree.rect = {60, 120, 3480, 300};
    TimerFree.setInterval(1000);
    TimerFree.onTick = [this] {
      const auto t = ui::app().backend().now();
      lblFree.setCaption(FormatClockText(t, t, ui::app().backend().regional()));
    };
    TimerDrive.setInterval(100);
    TimerDrive.onTick = [this] { drive(); };
  }

  ui::Label lblFree{*this, "lblFree"};
  ui::Timer TimerFree{*this, "TimerFree"};
  ui::Timer TimerDrive{*this, "TimerDrive"};

  void begin(const char* loopName, int clockSeconds, int alarms) {
    loop_ = loopName;
    clockUntil_ = wallMicros() + clockSeconds * 1000000LL;
    alarmsLeft_ = alarms;
    ui::app().observer = [this](const ui::Control& c, ui::Prop p) { observe(c, p); };
  }

 private:
  void observe(const ui::Control& c, ui::Prop p) {
    if (p != ui::Prop::Caption) return;
    const Micros at = wallMicros();
    const auto& main = ui::form<Alarm>();
    if (&c == &lblFree) {
      if (at < clockUntil_) free_.record(lblFree.caption(), at);
    } else if (&c == &main.lblTime) {
      if (main.lblTime.caption() != u"Time's Up!") {
        if (at < clockUntil_) clock_.record(main.lblTime.caption(), at);
      } else if (due_) {
        latencies_.push_back(static_cast<double>(at - *due_ * 1000000LL) / 1000.0);
        due_.reset();
        --alarmsLeft_;
      }
    }
  }

  void drive() {
    auto& main = ui::form<Alarm>();
    if (wallMicros() < clockUntil_) return;
    if (main.TimerNotify.enabled()) {
      main.cmdReset.raiseClick();
    } else if (alarmsLeft_ <= 0) {
      finish();
    } else if (!due_ && main.TimerTime.enabled() && !main.TimerPb.enabled()) {
      // An alarm two seconds ahead, typed as a user would.
      due_ = static_cast<std::time_t>(wallMicros() / 1000000 + 2);
      main.txtTime(0).nativeEdited(clockTextAt(*due_));
    }
  }

  void clockRow(const char* what, const Series& s, std::time_t from, std::time_t to) const {
    std::vector<double> lags;
    int skipped = 0;
    for (std::time_t t = from; t <= to; ++t) {
      auto it = s.shownAt.find(t);
      if (it == s.shownAt.end()) {
        ++skipped;
      } else {
        lags.push_back(static_cast<double>(it->second - t * 1000000LL) / 1000.0);
      }
    }
    row(loop_, what, lags, std::to_string(skipped));
  }

  void finish() {
    TimerDrive.setEnabled(false);
    ui::app().observer = nullptr;
    if (!clock_.shownAt.empty() && !free_.shownAt.empty()) {
      // Only the seconds both clocks were running for, edges left out.
      const std::time_t from = std::max(clock_.shownAt.begin()->first, free_.shownAt.begin()->first) + 1;
      const std::time_t to = std::min(clock_.shownAt.rbegin()->first, free_.shownAt.rbegin()->first) - 1;
      clockRow("free-running 1000 ms", free_, from, to);
      clockRow("Tollora clock (aligned)", clock_, from, to);
    }
    row(loop_, "alarm latency", latencies_, "-");
    std::fflush(stdout);
    ui::form<Alarm>().UnloadAll();
  }

  const char* loop_ = "";
  Micros clockUntil_ = 0;
  int alarmsLeft_ = 0;
  Series clock_, free_;
  std::optional<std::time_t> due_;
  std::vector<double> latencies_;
};

}  // namespace

void startClockBench(const char* loopName, int clockSeconds, int alarms) {
  ui::form<Alarm>().Show();
  auto& driver = ui::form<Driver>();
  driver.Show();
  driver.begin(loopName, clockSeconds, alarms);
}

}  // namespace tollora::bench
