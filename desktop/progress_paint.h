// Keeps progress bars from repainting faster than the screen can show: a paced copy moves them
// hundreds of times a second, and a QProgressBar repaints on the spot for every step.
#pragma once

#include <unordered_map>

#include <QElapsedTimer>
#include <QObject>

class QProgressBar;

namespace qm {

class ProgressPaint : public QObject {
 public:
  explicit ProgressPaint(QObject* parent) : QObject(parent) {}

  // The bar takes `value` at once (its value is always the model's), but repaints at most once
  // per frame of its screen; the value held back shows when the frame is over. The ends of the
  // range, a part or a run just begun or done, show at once.
  void setValue(QProgressBar& bar, int value);

 private:
  struct Pace {
    QElapsedTimer shown;  // since the bar last repainted
    bool held = false;    // repainting is off until the frame is over
  };
  void release(QProgressBar& bar, Pace& pace);

  std::unordered_map<QProgressBar*, Pace> paces_;
};

}  // namespace qm
