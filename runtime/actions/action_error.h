// ActionError: why an action could not be decoded or run; its text is shown or logged as is.
#pragma once

#include <string>
#include <variant>

namespace kivo_actions {

struct ActionError {
  enum class Kind { UnknownAction, BadPayload, Rejected, Transport };
  Kind kind = Kind::Rejected;
  std::string message;  // display text

  const std::string& display() const { return message; }
};

// ActionResult<T>: a value or an ActionError.
template <typename T>
class ActionResult {
public:
  ActionResult(T value) : m_v(std::move(value)) {}         // NOLINT
  ActionResult(ActionError error) : m_v(std::move(error)) {}  // NOLINT
  bool ok() const { return m_v.index() == 0; }
  T& value() { return std::get<0>(m_v); }
  const T& value() const { return std::get<0>(m_v); }
  const ActionError& error() const { return std::get<1>(m_v); }

private:
  std::variant<T, ActionError> m_v;
};

}  // namespace kivo_actions
