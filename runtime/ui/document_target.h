// DocumentTarget: the shared document as typed actions see it: the document itself and the
// transaction the executor opened for the running action. Typed actions write through it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/actions/action_document.h"
#include "runtime/doc/document.h"
#include "runtime/doc/transaction.h"

namespace kivo_ui::doc {

class DocumentTarget : public kivo_actions::ActionDocument {
public:
  virtual kivo::doc::Document& document() = 0;
  virtual const kivo::doc::Document& document() const = 0;
  // The open transaction; only valid between begin_transaction and its commit or rollback.
  kivo::doc::Transaction& transaction() { return *m_tx; }
  bool in_transaction() const { return m_tx.has_value(); }

  std::vector<std::string> heads() const override;  // hex, sorted
  void begin_transaction() override;
  void rollback_transaction() override;

protected:
  // Commits the open transaction; answers whether it made a change.
  kivo::Result<bool> commit_open(const std::string& message, int64_t time_seconds);

private:
  std::optional<kivo::doc::Transaction> m_tx;
};

// A document held in memory only (tools, tests, screenshot runs).
class MemoryDocumentTarget final : public DocumentTarget {
public:
  MemoryDocumentTarget() = default;
  explicit MemoryDocumentTarget(kivo::doc::Document doc) : m_doc(std::move(doc)) {}
  ~MemoryDocumentTarget() override { rollback_transaction(); }  // before the document goes

  kivo::doc::Document& document() override { return m_doc; }
  const kivo::doc::Document& document() const override { return m_doc; }
  kivo::Status commit_transaction(const std::string& message, int64_t time_seconds) override;

private:
  kivo::doc::Document m_doc;
};

// A document owned elsewhere (a tool's loaded file, a test's fixture); it must outlive the target.
class BorrowedDocumentTarget final : public DocumentTarget {
public:
  explicit BorrowedDocumentTarget(kivo::doc::Document& doc) : m_doc(doc) {}
  ~BorrowedDocumentTarget() override { rollback_transaction(); }
  kivo::doc::Document& document() override { return m_doc; }
  const kivo::doc::Document& document() const override { return m_doc; }
  kivo::Status commit_transaction(const std::string& message, int64_t time_seconds) override;

private:
  kivo::doc::Document& m_doc;
};

// Replaces the whole content of a text object by `new_text` with the smallest splice.
kivo::Status splice_text_diffed(kivo::doc::Transaction& tx, kivo::doc::ObjId text, std::string_view new_text);

}  // namespace kivo_ui::doc
