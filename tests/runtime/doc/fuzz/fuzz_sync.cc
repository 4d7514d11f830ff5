// libFuzzer harness: decoding and receiving sync messages on arbitrary bytes.
#include <cstdint>
#include <cstdlib>

#include "runtime/doc/sync.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kivo::doc;
  ByteView bytes(data, size);
  auto m = decode_sync_message(bytes);
  if (m.ok()) (void)encode_sync_message(*m);
  Document doc;
  SyncState state;
  auto st = receive_sync_message(doc, state, bytes);
  if (!st.ok() && !doc.heads().empty()) abort();
  (void)generate_sync_message(doc, state);
  return 0;
}
