// The workspace document as the chat model sees it: typed reads of keys and list elements, the
// ensure helpers that create missing objects, and the scalar writers (with the write-if-changed form).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/doc/document.h"
#include "runtime/doc/transaction.h"

namespace chat {

using kivo::doc::Document;
using kivo::doc::ObjId;
using kivo::doc::Transaction;

// The document being changed together with the transaction that records the writes. Reads through
// `doc` see the transaction's writes at once.
struct DocWrite {
  Document& doc;
  Transaction& tx;
};

// Stops the process: a write the document library refused in correct use is a programming error.
[[noreturn]] void fatal_write(const char* what);

// --- reads (never fail; missing or wrong kinds answer nothing) ---
std::optional<ObjId> get_object(const Document& doc, ObjId parent, std::string_view key, kivo::doc::ObjType type);
std::optional<ObjId> get_map(const Document& doc, ObjId parent, std::string_view key);
std::optional<ObjId> get_list(const Document& doc, ObjId parent, std::string_view key);
std::optional<ObjId> get_text(const Document& doc, ObjId parent, std::string_view key);
std::optional<ObjId> as_map(const kivo::doc::Value& value);  // the map a list element or entry holds

std::optional<std::string> read_string(const Document& doc, ObjId obj, std::string_view key);  // str only
std::optional<int64_t> read_int(const Document& doc, ObjId obj, std::string_view key);  // int, uint, float, counter, time
std::optional<bool> read_bool(const Document& doc, ObjId obj, std::string_view key);    // bool only
std::optional<int64_t> scalar_int(const kivo::doc::Value& value);
// A text object's content or a plain str; nothing for any other kind.
std::optional<std::string> read_text_or_string(const Document& doc, ObjId obj, std::string_view key);

std::string string_or_empty(const Document& doc, ObjId obj, std::string_view key);
int64_t int_or_zero(const Document& doc, ObjId obj, std::string_view key);
bool bool_or_false(const Document& doc, ObjId obj, std::string_view key);

// --- ensure: the object at the key when it has that kind, else a new empty one in its place ---
ObjId ensure_map(DocWrite w, ObjId parent, std::string_view key);
ObjId ensure_list(DocWrite w, ObjId parent, std::string_view key);
ObjId ensure_text(DocWrite w, ObjId parent, std::string_view key);

// --- scalar writers (a put always writes; a refused put stops the process) ---
void put_str(DocWrite w, ObjId obj, std::string_view key, std::string_view value);
void put_int(DocWrite w, ObjId obj, std::string_view key, int64_t value);
void put_bool(DocWrite w, ObjId obj, std::string_view key, bool value);
void delete_key(DocWrite w, ObjId obj, std::string_view key);
void delete_index(DocWrite w, ObjId list, size_t index);
void set_text(DocWrite w, ObjId text, std::string_view value);  // smallest splice to the new content

// Writes only when the stored value differs (missing reads as false / empty); true when it wrote.
bool put_bool_if_changed(DocWrite w, ObjId obj, std::string_view key, bool value);
bool put_str_if_changed(DocWrite w, ObjId obj, std::string_view key, std::string_view value);
bool put_int_if_changed(DocWrite w, ObjId obj, std::string_view key, int64_t value);

// The root keys of the layout.
namespace key {
inline constexpr std::string_view seeded = "seeded";
inline constexpr std::string_view users = "users";
inline constexpr std::string_view workspaces = "workspaces";
inline constexpr std::string_view categories = "categories";
inline constexpr std::string_view channels = "channels";
inline constexpr std::string_view messages = "messages";
inline constexpr std::string_view voice = "voice";
inline constexpr std::string_view read = "read";
inline constexpr std::string_view drafts = "drafts";
}  // namespace key

}  // namespace chat
