// libFuzzer harness: Document::load and load_incremental on arbitrary bytes must return
// an error or a document, never crash, and a failed load_incremental changes nothing.
#include <cstdint>
#include <cstdlib>

#include "runtime/doc/document.h"
#include "runtime/doc/json_view.h"
#include "runtime/doc/transaction.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kivo::doc;
  ByteView bytes(data, size);
  auto doc = Document::load(bytes);
  if (doc.ok()) {
    (void)to_json(*doc);
    (void)doc->save();
  }
  static Document base = [] {
    Document d;
    auto tx = d.begin();
    (void)tx.put(ROOT, "k", int64_t(1));
    tx.commit("", 1);
    return d;
  }();
  auto heads = base.heads();
  if (!base.load_incremental(bytes).ok() && base.heads() != heads) abort();
  if (base.heads() != heads) base = Document::load(Document().save()).value();
  return 0;
}
