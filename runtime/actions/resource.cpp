#include "runtime/actions/resource.h"

namespace kivo_actions {

Resource&& Resource::with_action(ActionSpec action) && {
  actions.push_back(std::move(action));
  return std::move(*this);
}

Resource&& Resource::with_child(Resource child) && {
  children.push_back(std::move(child));
  return std::move(*this);
}

Resource& Resource::with_action(ActionSpec action) & {
  actions.push_back(std::move(action));
  return *this;
}

Resource& Resource::with_child(Resource child) & {
  children.push_back(std::move(child));
  return *this;
}

const ActionSpec* Resource::find_action(std::string_view id) const {
  for (const auto& declared : actions)
    if (declared.id == id) return &declared;
  return nullptr;
}

std::string ActionAddress::encode() const { return resource + "#" + action; }

std::optional<ActionAddress> ActionAddress::decode(std::string_view text) {
  auto hash = text.rfind('#');
  if (hash == std::string_view::npos || hash == 0 || hash + 1 == text.size()) return std::nullopt;
  return ActionAddress{std::string(text.substr(0, hash)), std::string(text.substr(hash + 1))};
}

nlohmann::json to_json(const ResourceRef& ref) {
  nlohmann::json j;
  j["kind"] = ref.kind;
  j["id"] = ref.id;
  j["label"] = ref.label;
  if (ref.span)
    j["span"] = {{"start", ref.span->start}, {"len", ref.span->len}};
  else
    j["span"] = nullptr;
  return j;
}

std::optional<ResourceRef> resource_ref_from_json(const nlohmann::json& j) {
  if (!j.is_object()) return std::nullopt;
  auto text = [&](const char* key) -> std::optional<std::string> {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return std::string();
    if (!it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  auto kind = text("kind"), id = text("id"), label = text("label");
  if (!kind || !id || !label) return std::nullopt;
  ResourceRef ref{*kind, *id, *label, std::nullopt};
  auto span = j.find("span");
  if (span != j.end() && !span->is_null()) {
    if (!span->is_object()) return std::nullopt;
    auto start = span->find("start"), len = span->find("len");
    if (start == span->end() || len == span->end() || !start->is_number_unsigned() || !len->is_number_unsigned())
      return std::nullopt;
    ref.span = ResourceSpan{start->get<uint64_t>(), len->get<uint64_t>()};
  }
  return ref;
}

}  // namespace kivo_actions
