#include "desktop/qt_event_pump.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace qm {

double QtEventPump::Timer() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + now.tv_nsec / 1e9;
}

void QtEventPump::ProcessEvents(double deadline) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  const double wait = deadline - Timer();
  // Past the deadline, or across midnight, where the clock starts again at 0.
  if (wait <= 0.0 || wait > 86400.0) return;
  // Qt's timers count whole milliseconds. Rounding a 2.5 ms wait up would slow the paced copy
  // by a fifth; so wait the whole milliseconds on the event loop, and sleep the last fraction.
  const int ms = std::min(kLongestWaitMs, static_cast<int>(std::floor(wait * 1000.0)));
  if (ms == 0) {
    const timespec rest{0, static_cast<long>(wait * 1e9)};
    nanosleep(&rest, nullptr);
    return;
  }
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(ms);
  loop.exec();
}

}  // namespace qm
