// TypedActionRegistry: the named actions that run over the document, each with its payload decoder.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "runtime/actions/action_error.h"

namespace kivo_actions {

class ActionDocument;

// A decoded action, ready to be applied to a document (inside the executor's transaction).
class TypedAction {
public:
  virtual ~TypedAction() = default;
  // Applies the action; a failed precondition is no error: the action then writes nothing.
  virtual ActionResult<bool> apply(ActionDocument& document) = 0;  // true when it wrote something
};

// Turns a JSON payload into a typed action; a payload that does not decode gives BadPayload.
using TypedActionDecoder = std::function<ActionResult<std::unique_ptr<TypedAction>>(const nlohmann::json&)>;

class TypedActionRegistry {
public:
  // Registers `name`; an earlier entry under the same name is dropped.
  void register_typed(const std::string& name, TypedActionDecoder decoder);
  bool contains(const std::string& name) const;
  ActionResult<std::unique_ptr<TypedAction>> decode(const std::string& name, const nlohmann::json& payload) const;

private:
  std::map<std::string, TypedActionDecoder> m_decoders;
};

// Adapts a plain action record `A` with a decoder and an apply function into a TypedAction.
template <typename A>
class TypedActionOf final : public TypedAction {
public:
  using ApplyFn = std::function<ActionResult<bool>(const A&, ActionDocument&)>;
  TypedActionOf(A action, ApplyFn apply) : m_action(std::move(action)), m_apply(std::move(apply)) {}
  ActionResult<bool> apply(ActionDocument& document) override { return m_apply(m_action, document); }
  const A& action() const { return m_action; }

private:
  A m_action;
  ApplyFn m_apply;
};

}  // namespace kivo_actions
