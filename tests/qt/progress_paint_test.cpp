// The progress bars' repaint pace: every value reaches the bar at once, the paints follow the
// screen's rate, and the ends of the range and a value held back still reach the screen.
#include "desktop/progress_paint.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>

namespace qm {

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class ProgressPaintTest : public QObject {
  Q_OBJECT

 private slots:
  void repaintsAtTheScreensRateButShowsEveryEnd() {
    QProgressBar bar;
    bar.setRange(0, 100);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    ProgressPaint pace(&bar);
    PaintCounter counter;
    bar.installEventFilter(&counter);

    // A paced copy's steps, with the event loop running between them as it does in the waits.
    QElapsedTimer clock;
    clock.start();
    for (int v = 1; v < 100; ++v) {
      pace.setValue(bar, v);
      QCOMPARE(bar.value(), v);
      QCoreApplication::processEvents();
    }
    const qint64 frames = clock.elapsed() * bar.screen()->refreshRate() / 1000 + 2;
    QVERIFY2(counter.paints <= frames,
             qPrintable(QString("%1 paints in %2 frames").arg(counter.paints).arg(frames)));

    // A value held back shows once its frame is over, without any further step.
    pace.setValue(bar, 42);
    int before = counter.paints;
    pace.setValue(bar, 43);
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > before, 1000);

    // The end of a part or of the run shows at once, however soon after the last paint.
    for (const int end : {100, 0}) {
      before = counter.paints;
      pace.setValue(bar, end);
      QCOMPARE(bar.value(), end);
      QVERIFY(counter.paints > before);
    }
  }
};

}  // namespace qm

QTEST_MAIN(qm::ProgressPaintTest)
#include "progress_paint_test.moc"
