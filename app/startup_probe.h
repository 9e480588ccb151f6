#pragma once
// The start-up benchmark's probe (bench/measure.py): with KIRUNE_STARTUP_PROBE=1 in the environment, once
// `window` has painted for the first time, the program prints "first frame N ms" (N: milliseconds since
// the process started) and quits. Without it, nothing is watched.
class QWidget;

namespace kirune {

void watchStartup(QWidget& window);

}  // namespace kirune
