#pragma once
// Long commands show which item they are on without yielding to the event loop. Painting
// every item would cost more than the work itself, so paint at most every few frames' time.

#include <QElapsedTimer>
#include <QWidget>
#include <initializer_list>

namespace app {

class ThrottledRepaint {
 public:
  explicit ThrottledRepaint(int intervalMs = 50) : intervalMs_(intervalMs) {}

  // Repaints the widgets now if the last paint is older than the interval (or `force`).
  void operator()(std::initializer_list<QWidget*> widgets, bool force = false) {
    if (!force && timer_.isValid() && timer_.elapsed() < intervalMs_) return;
    for (QWidget* widget : widgets) widget->repaint();
    timer_.start();
  }

 private:
  int intervalMs_;
  QElapsedTimer timer_;
};

}  // namespace app
