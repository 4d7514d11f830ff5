// QUIC streams of a connection: the sending half, the receiving half, and a bidirectional pair.
// Every method may be called from any thread; completions run on the endpoint's network thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "runtime/base/result.h"

namespace kivo::p2p {

namespace detail {
struct StreamState;
}

using Bytes = std::vector<uint8_t>;

// What one read_some produced: some bytes, and whether the peer finished the stream after them.
struct ReadChunk {
  Bytes data;
  bool fin = false;  // no byte follows; data may be empty when this is set
};

using WriteDone = std::function<void(Status)>;
using ReadDone = std::function<void(Result<ReadChunk>)>;
using ReadExactDone = std::function<void(Result<Bytes>)>;

// The writing half of a stream.
class SendStream {
public:
  SendStream() = default;
  explicit SendStream(std::shared_ptr<detail::StreamState> state) : m_state(std::move(state)) {}

  // Queues bytes; done runs once they are all handed to the transport. Waiting for done before the
  // next write is the backpressure: a peer that stops reading stops the completions. A write that
  // would push the unsent bytes past the stream's write limit fails at once (nothing is queued).
  void write(Bytes data, WriteDone done) const;
  // Ends the stream after the queued bytes; done runs when the peer acknowledged all of them.
  void finish(WriteDone done) const;
  void reset(uint64_t error_code) const;  // abandons unsent bytes and tells the peer
  int64_t id() const;
  explicit operator bool() const { return m_state != nullptr; }

private:
  std::shared_ptr<detail::StreamState> m_state;
};

// The reading half of a stream. One read at a time.
class RecvStream {
public:
  RecvStream() = default;
  explicit RecvStream(std::shared_ptr<detail::StreamState> state) : m_state(std::move(state)) {}

  // Delivers 1..max_bytes bytes as soon as any are there, or fin at the clean end of the stream.
  void read_some(size_t max_bytes, ReadDone done) const;
  // Delivers exactly n bytes, continuing partial arrivals; an end of stream before n bytes is an error.
  void read_exact(size_t n, ReadExactDone done) const;
  void stop(uint64_t error_code) const;  // tells the peer to stop sending; pending reads fail
  int64_t id() const;
  explicit operator bool() const { return m_state != nullptr; }

private:
  std::shared_ptr<detail::StreamState> m_state;
};

struct BiStream {
  SendStream send;
  RecvStream recv;
};

}  // namespace kivo::p2p
