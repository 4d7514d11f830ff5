// Result<T>: a value or an Error, the way every library here reports failure.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace kivo {

// A failure as a value: a short human-readable text.
struct Error {
  std::string message;
};

inline Error make_error(std::string message) { return Error{std::move(message)}; }

template <typename T>
class [[nodiscard]] Result {
public:
  Result(T value) : m_storage(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : m_storage(std::in_place_index<1>, std::move(error)) {}  // NOLINT

  bool ok() const { return m_storage.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(m_storage); }
  const T& value() const& { return std::get<0>(m_storage); }
  T&& value() && { return std::get<0>(std::move(m_storage)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  const Error& error() const { return std::get<1>(m_storage); }
  Error&& take_error() { return std::get<1>(std::move(m_storage)); }

private:
  std::variant<T, Error> m_storage;
};

// Result<void>: success or an Error.
template <>
class [[nodiscard]] Result<void> {
public:
  Result() = default;
  Result(Error error) : m_error(std::move(error)), m_failed(true) {}  // NOLINT

  bool ok() const { return !m_failed; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return m_error; }
  Error&& take_error() { return std::move(m_error); }

private:
  Error m_error;
  bool m_failed = false;
};

using Status = Result<void>;

}  // namespace kivo

// KIVO_TRY(expr): returns the error of a failed Result from the enclosing function.
#define KIVO_TRY(expr)                         \
  do {                                         \
    auto kivo_try_result_ = (expr);            \
    if (!kivo_try_result_.ok())                \
      return kivo_try_result_.take_error();    \
  } while (0)

// KIVO_TRY_ASSIGN(var, expr): declares var from a successful Result or returns its error.
#define KIVO_TRY_ASSIGN(var, expr)                                        \
  auto var##_result_ = (expr);                                            \
  if (!var##_result_.ok()) return var##_result_.take_error();             \
  auto var = std::move(var##_result_).value()
