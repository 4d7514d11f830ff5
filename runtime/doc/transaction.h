// Transaction: a batch of local writes to a Document that commits as one change.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/doc/change_hash.h"
#include "runtime/doc/op_id.h"
#include "runtime/doc/value.h"

namespace kivo::doc {

class Document;
namespace detail {
struct DocOp;
}

// Writes are visible to reads of the document at once; commit() records them as one
// change, rollback() (or destruction without commit) reverts them.
class Transaction {
public:
  explicit Transaction(Document& doc);
  ~Transaction();
  Transaction(Transaction&&) noexcept;
  Transaction(const Transaction&) = delete;

  Status put(ObjId obj, std::string_view key, ScalarValue value);
  Result<ObjId> put_object(ObjId obj, std::string_view key, ObjType type);
  Status put(ObjId list, size_t index, ScalarValue value);  // overwrite an element
  Result<ObjId> put_object(ObjId list, size_t index, ObjType type);
  Status insert(ObjId list, size_t index, ScalarValue value);
  Result<ObjId> insert_object(ObjId list, size_t index, ObjType type);
  Status delete_key(ObjId obj, std::string_view key);  // no-op when the key is unset
  Status delete_index(ObjId list, size_t index);
  Status increment(ObjId obj, std::string_view key, int64_t by);  // the key must hold a counter
  Status increment(ObjId list, size_t index, int64_t by);
  // Replaces `del` scalars at `pos` of a text object by `text` (UTF-8).
  Status splice_text(ObjId text_obj, size_t pos, size_t del, std::string_view text);
  // Replaces the whole text by new_text with the smallest splice (common prefix and suffix kept).
  Status splice_text_diffed(ObjId text_obj, std::string_view new_text);

  size_t pending_ops() const;
  // Records the writes as one change; an empty transaction makes no change (nullopt).
  // time: milliseconds since the epoch, now when not given.
  std::optional<ChangeHash> commit(std::string_view message = {}, std::optional<int64_t> time = std::nullopt);
  void rollback();

private:
  Status local_op(detail::DocOp op);
  Result<ObjId> map_write(ObjId obj, std::string_view key, int action, ScalarValue value);
  Result<ObjId> list_write(ObjId obj, size_t index, bool insert, int action, ScalarValue value);
  Document* m_doc;
  std::vector<detail::DocOp> m_ops;
  bool m_open = true;
  uint64_t m_start_op = 0;
};

}  // namespace kivo::doc
