#include "runtime/ui/transition.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kivo_ui {

double monotonic_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Transition::Transition(double duration_seconds, Clock clock)
    : m_duration(std::max(duration_seconds, 1e-6)), m_clock(std::move(clock)) {}

float Transition::progress() const {
  if (m_span <= 0) return 1.f;
  return float(std::clamp((m_clock() - m_start) / m_span, 0.0, 1.0));
}

float Transition::value() const {
  float p = progress();
  float eased = 1 - (1 - p) * (1 - p) * (1 - p);
  return std::clamp(m_from + (m_to - m_from) * eased, 0.f, 1.f);
}

void Transition::set_open(bool open) {
  if (open == m_open) return;
  float current = value();
  m_open = open;
  m_from = current;
  m_to = open ? 1.f : 0.f;
  // A move that reverses part way takes only the share of the duration it still has to cover.
  m_span = m_duration * std::abs(m_to - m_from);
  m_start = m_clock();
}

void Transition::snap(bool open) {
  m_open = open;
  m_from = m_to = open ? 1.f : 0.f;
  m_span = 0;
}

bool Transition::is_animating() const { return m_span > 0 && m_clock() - m_start < m_span; }

}  // namespace kivo_ui
