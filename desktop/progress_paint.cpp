#include "desktop/progress_paint.h"

#include <algorithm>

#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

namespace qm {
namespace {

// Milliseconds per frame of the screen that shows `bar`; 60 frames a second where it is not told.
qint64 frameMs(const QProgressBar& bar) {
  const QScreen* screen = bar.screen();
  const double rate = screen != nullptr && screen->refreshRate() >= 1 ? screen->refreshRate() : 60;
  return std::max<qint64>(1, static_cast<qint64>(1000.0 / rate));
}

}  // namespace

void ProgressPaint::setValue(QProgressBar& bar, int value) {
  Pace& pace = paces_[&bar];
  const qint64 frame = frameMs(bar);
  const bool end = value == bar.minimum() || value == bar.maximum();
  if (end || !bar.isVisible() || !pace.shown.isValid() || pace.shown.elapsed() >= frame) {
    if (pace.held) {
      pace.held = false;
      bar.setUpdatesEnabled(true);
    }
    bar.setValue(value);  // repaints now
    pace.shown.start();
    return;
  }
  if (!pace.held) {
    // Within the frame: take the value quietly and repaint once when the frame is over.
    pace.held = true;
    bar.setUpdatesEnabled(false);
    QPointer<QProgressBar> watched(&bar);
    QTimer::singleShot(std::max<qint64>(1, frame - pace.shown.elapsed()), this, [this, watched] {
      if (!watched) return;
      const auto it = paces_.find(watched.data());
      if (it != paces_.end()) release(*watched, it->second);
    });
  }
  bar.setValue(value);
}

void ProgressPaint::release(QProgressBar& bar, Pace& pace) {
  if (!pace.held) return;
  pace.held = false;
  bar.setUpdatesEnabled(true);  // schedules the repaint of what the bar now holds
  pace.shown.start();
}

}  // namespace qm
