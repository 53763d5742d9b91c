// Answers modal dialogs from inside their own event loop: each dialog that appears takes the
// next step of the script, run once the dialog is on screen. A dialog the script did not
// expect, or one that a step leaves open, is counted and rejected, so that a test fails
// instead of hanging.
#pragma once

#include <deque>
#include <functional>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace qm::test {

class DialogScript : public QObject {
 public:
  using Step = std::function<void(QDialog&)>;

  DialogScript() { qApp->installEventFilter(this); }
  ~DialogScript() override { qApp->removeEventFilter(this); }

  DialogScript& then(Step step) {
    steps.push_back(std::move(step));
    return *this;
  }

  std::deque<Step> steps;
  int shown = 0;
  int unexpected = 0;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* dialog = qobject_cast<QDialog*>(object);
    if (event->type() != QEvent::Show || dialog == nullptr || !dialog->isWindow()) return false;
    ++shown;
    Step step;
    if (!steps.empty()) {
      step = std::move(steps.front());
      steps.pop_front();
    } else {
      ++unexpected;
      step = [](QDialog& d) { d.reject(); };
    }
    QPointer<QDialog> target(dialog);
    QTimer::singleShot(0, this, [this, target, step] {
      if (target && target->isVisible()) step(*target);
      // A step that failed half-way must not leave the test waiting on the dialog.
      if (target && target->isVisible()) {
        ++unexpected;
        target->reject();
      }
    });
    return false;
  }
};

}  // namespace qm::test
