#include "model/workspace_doc.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace chat {

using kivo::doc::ObjType;
using kivo::doc::ScalarValue;
using kivo::doc::Value;

void fatal_write(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::abort();
}

std::optional<ObjId> get_object(const Document& doc, ObjId parent, std::string_view key, ObjType type) {
  auto v = doc.get(parent, key);
  if (!v) return std::nullopt;
  const auto* ref = v->object();
  if (!ref || ref->type != type) return std::nullopt;
  return ref->id;
}

std::optional<ObjId> get_map(const Document& doc, ObjId parent, std::string_view key) {
  auto v = doc.get(parent, key);
  if (!v) return std::nullopt;
  return as_map(*v);
}

std::optional<ObjId> get_list(const Document& doc, ObjId parent, std::string_view key) {
  return get_object(doc, parent, key, ObjType::List);
}

std::optional<ObjId> get_text(const Document& doc, ObjId parent, std::string_view key) {
  return get_object(doc, parent, key, ObjType::Text);
}

std::optional<ObjId> as_map(const Value& value) {
  const auto* ref = value.object();
  if (!ref || (ref->type != ObjType::Map && ref->type != ObjType::Table)) return std::nullopt;
  return ref->id;
}

std::optional<std::string> read_string(const Document& doc, ObjId obj, std::string_view key) {
  auto v = doc.get(obj, key);
  if (!v) return std::nullopt;
  if (const auto* s = v->as_string()) return *s;
  return std::nullopt;
}

std::optional<int64_t> scalar_int(const Value& value) {
  const ScalarValue* s = value.scalar();
  if (!s) return std::nullopt;
  if (const auto* i = std::get_if<int64_t>(s)) return *i;
  if (const auto* u = std::get_if<uint64_t>(s)) return static_cast<int64_t>(*u);
  if (const auto* d = std::get_if<double>(s)) {
    if (std::isnan(*d)) return 0;
    if (*d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (*d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(*d);
  }
  if (const auto* c = std::get_if<kivo::doc::Counter>(s)) return c->value;
  if (const auto* t = std::get_if<kivo::doc::Timestamp>(s)) return t->millis;
  return std::nullopt;
}

std::optional<int64_t> read_int(const Document& doc, ObjId obj, std::string_view key) {
  auto v = doc.get(obj, key);
  if (!v) return std::nullopt;
  return scalar_int(*v);
}

std::optional<bool> read_bool(const Document& doc, ObjId obj, std::string_view key) {
  auto v = doc.get(obj, key);
  if (!v || !v->scalar()) return std::nullopt;
  if (const auto* b = std::get_if<bool>(v->scalar())) return *b;
  return std::nullopt;
}

std::optional<std::string> read_text_or_string(const Document& doc, ObjId obj, std::string_view key) {
  auto v = doc.get(obj, key);
  if (!v) return std::nullopt;
  if (const auto* s = v->as_string()) return *s;
  if (const auto* ref = v->object(); ref && ref->type == ObjType::Text) return doc.text(ref->id);
  return std::nullopt;
}

std::string string_or_empty(const Document& doc, ObjId obj, std::string_view key) {
  return read_string(doc, obj, key).value_or(std::string());
}
int64_t int_or_zero(const Document& doc, ObjId obj, std::string_view key) { return read_int(doc, obj, key).value_or(0); }
bool bool_or_false(const Document& doc, ObjId obj, std::string_view key) {
  return read_bool(doc, obj, key).value_or(false);
}

namespace {
ObjId ensure_object(DocWrite w, ObjId parent, std::string_view key, ObjType type, const char* failure) {
  if (auto existing = get_object(w.doc, parent, key, type)) return *existing;
  auto made = w.tx.put_object(parent, key, type);
  if (!made.ok()) fatal_write(failure);
  return made.value();
}
}  // namespace

ObjId ensure_map(DocWrite w, ObjId parent, std::string_view key) {
  if (auto existing = get_map(w.doc, parent, key)) return *existing;
  auto made = w.tx.put_object(parent, key, ObjType::Map);
  if (!made.ok()) fatal_write("put map");
  return made.value();
}
ObjId ensure_list(DocWrite w, ObjId parent, std::string_view key) {
  return ensure_object(w, parent, key, ObjType::List, "put list");
}
ObjId ensure_text(DocWrite w, ObjId parent, std::string_view key) {
  return ensure_object(w, parent, key, ObjType::Text, "put text");
}

void put_str(DocWrite w, ObjId obj, std::string_view key, std::string_view value) {
  if (!w.tx.put(obj, key, ScalarValue{std::string(value)}).ok()) fatal_write("put str");
}
void put_int(DocWrite w, ObjId obj, std::string_view key, int64_t value) {
  if (!w.tx.put(obj, key, ScalarValue{value}).ok()) fatal_write("put int");
}
void put_bool(DocWrite w, ObjId obj, std::string_view key, bool value) {
  if (!w.tx.put(obj, key, ScalarValue{value}).ok()) fatal_write("put bool");
}
void delete_key(DocWrite w, ObjId obj, std::string_view key) {
  if (!w.tx.delete_key(obj, key).ok()) fatal_write("delete key");
}
void delete_index(DocWrite w, ObjId list, size_t index) {
  if (!w.tx.delete_index(list, index).ok()) fatal_write("delete index");
}
void set_text(DocWrite w, ObjId text, std::string_view value) {
  if (!w.tx.splice_text_diffed(text, value).ok()) fatal_write("splice text");
}

// Missing values (and values of another kind) read as false, empty or 0 here, as everywhere.
bool put_bool_if_changed(DocWrite w, ObjId obj, std::string_view key, bool value) {
  if (bool_or_false(w.doc, obj, key) == value) return false;
  put_bool(w, obj, key, value);
  return true;
}
bool put_str_if_changed(DocWrite w, ObjId obj, std::string_view key, std::string_view value) {
  if (string_or_empty(w.doc, obj, key) == value) return false;
  put_str(w, obj, key, value);
  return true;
}
bool put_int_if_changed(DocWrite w, ObjId obj, std::string_view key, int64_t value) {
  if (int_or_zero(w.doc, obj, key) == value) return false;
  put_int(w, obj, key, value);
  return true;
}

}  // namespace chat
