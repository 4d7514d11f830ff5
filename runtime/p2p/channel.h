// A bounded multi-producer queue that never blocks: how results cross from the network threads
// to a UI thread. The wake hook runs on the sending thread whenever an item arrives.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kivo::p2p {

enum class SendResult { sent, full, closed };

template <typename T>
class Channel {
public:
  explicit Channel(size_t capacity, std::function<void()> wake = {})
      : m_state(std::make_shared<State>()) {
    m_state->capacity = capacity;
    m_state->wake = std::move(wake);
  }

  // Offers an item without waiting; a full or closed channel hands it back untouched.
  SendResult try_send(T& item) {
    std::function<void()> wake;
    {
      std::lock_guard lock(m_state->mutex);
      if (m_state->closed) return SendResult::closed;
      if (m_state->items.size() >= m_state->capacity) return SendResult::full;
      m_state->items.push_back(std::move(item));
      wake = m_state->wake;
    }
    if (wake) wake();
    return SendResult::sent;
  }
  SendResult try_send(T&& item) { return try_send(item); }

  // Takes the oldest item without waiting.
  std::optional<T> try_recv() {
    std::lock_guard lock(m_state->mutex);
    if (m_state->items.empty()) return std::nullopt;
    T item = std::move(m_state->items.front());
    m_state->items.pop_front();
    return item;
  }

  void close() {
    std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
  }
  bool is_closed() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->closed;
  }
  size_t size() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->items.size();
  }

private:
  struct State {
    mutable std::mutex mutex;
    std::deque<T> items;
    size_t capacity = 0;
    bool closed = false;
    std::function<void()> wake;
  };
  std::shared_ptr<State> m_state;  // copies of a Channel share one queue
};

}  // namespace kivo::p2p
