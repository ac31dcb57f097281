// Clock exactness and alarm latency on a real event loop. First the real main window runs for
// a while beside a plain free-running 1000 ms clock on the same loop, and both are timed
// against the wall clock; then an alarm is set two seconds ahead, over and over, and the time
// from the start of its second to "Time's Up!" is taken. Prints a table, then closes every
// window, which ends the program.
#pragma once

namespace tollora::bench {

void startClockBench(const char* loopName, int clockSeconds, int alarms);

}  // namespace tollora::bench
