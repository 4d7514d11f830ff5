// Transition: an eased 0..1 value that follows an open/closed target over a duration.
#pragma once

#include <functional>

namespace kivo_ui {

double monotonic_seconds();  // the toolkit's frame clock

class Transition {
public:
  using Clock = std::function<double()>;
  explicit Transition(double duration_seconds = 0.18, Clock clock = monotonic_seconds);

  void set_open(bool open);        // starts moving towards 1 (open) or 0 from the current value
  void snap(bool open);            // jumps to the end state without animating
  bool is_open() const { return m_open; }
  float value() const;             // eased (cubic out), 0..1
  bool is_animating() const;

private:
  float progress() const;  // 0..1 through the current move

  double m_duration;
  Clock m_clock;
  bool m_open = false;
  float m_from = 0, m_to = 0;
  double m_start = 0, m_span = 0;  // the current move's start and length in seconds
};

}  // namespace kivo_ui
