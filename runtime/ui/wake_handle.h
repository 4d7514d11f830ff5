// WakeHandle: wakes the toolkit's event loop from any thread so the next frame runs.
#pragma once

#include <functional>
#include <memory>

namespace kivo_ui {

class WakeHandle {
public:
  WakeHandle() = default;
  explicit WakeHandle(std::function<void()> waker) : m_waker(std::make_shared<std::function<void()>>(std::move(waker))) {}

  void wake() const {  // safe from any thread; a no-op for a handle without loop
    if (m_waker && *m_waker) (*m_waker)();
  }
  bool connected() const { return m_waker != nullptr; }

private:
  std::shared_ptr<const std::function<void()>> m_waker;
};

}  // namespace kivo_ui
