// The desktop program's pump and clock: pending and arriving events are handled while it
// waits, waits sleep instead of spinning, and waits nested inside handlers unwind in order.
#include "platform/qt/qt_event_pump.h"

#include <cmath>
#include <string>
#include <vector>

#include <QTest>
#include <QTime>
#include <QTimer>

#include "engine/shared_routines.h"

namespace qm {

// Counts the calls that reach the real pump.
class CountingPump : public EventPump {
 public:
  double Timer() override { return real.Timer(); }
  void ProcessEvents(double deadline) override {
    ++calls;
    real.ProcessEvents(deadline);
  }
  QtEventPump real;
  int calls = 0;
};

class QtEventPumpTest : public QObject {
  Q_OBJECT

 private slots:
  void clockReadsSecondsSinceLocalMidnight() {
    QtEventPump pump;
    const double seconds = pump.Timer();
    const double qtSeconds = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    QVERIFY(seconds >= 0.0 && seconds < 86400.0);
    // Both read the same wall clock; only a midnight between the two reads tells them apart.
    const double apart = std::abs(seconds - qtSeconds);
    QVERIFY2(apart < 5.0 || apart > 86395.0, qPrintable(QString::number(apart)));
  }

  void handlesPendingEventsEvenPastTheDeadline() {
    QtEventPump pump;
    bool handled = false;
    QMetaObject::invokeMethod(
        this, [&] { handled = true; }, Qt::QueuedConnection);
    pump.ProcessEvents(pump.Timer() - 1.0);
    QVERIFY(handled);
  }

  void handlesEventsThatArriveWhileItWaits() {
    QtEventPump pump;
    bool handled = false;
    // Due long before the deadline, so it fires inside the wait however busy the machine.
    QTimer::singleShot(1, this, [&] { handled = true; });
    pump.ProcessEvents(pump.Timer() + 0.2);
    QVERIFY(handled);
  }

  void aPauseSleepsInsteadOfSpinning() {
    CountingPump pump;
    const double start = pump.Timer();
    Pause(pump, 4);  // 1/20 second
    QVERIFY(pump.Timer() >= start + 4.0 / 80.0);
    // A pump that returned without sleeping would be called thousands of times here.
    QVERIFY2(pump.calls <= 5, qPrintable(QString::number(pump.calls)));
  }

  void nestedWaitsUnwindInnerFirst() {
    QtEventPump pump;
    std::vector<std::string> order;
    QTimer::singleShot(1, this, [&] {
      order.push_back("inner begins");
      // The inner wait outlasts the outer deadline: the outer one returns only after it.
      pump.ProcessEvents(pump.Timer() + 0.1);
      order.push_back("inner ends");
    });
    pump.ProcessEvents(pump.Timer() + 0.05);
    order.push_back("outer ends");
    const std::vector<std::string> expected = {"inner begins", "inner ends", "outer ends"};
    QCOMPARE(order, expected);
  }
};

}  // namespace qm

QTEST_MAIN(qm::QtEventPumpTest)
#include "qt_event_pump_test.moc"
