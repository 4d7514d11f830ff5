// Helpers for endpoint tests: waiting on completions, loopback addresses, whole-stream transfers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <random>

#include "runtime/p2p/endpoint.h"

namespace kivo::p2p::testing {

// Generous: the machines running the suite are small and busy. Nothing asserts on elapsed time.
inline constexpr auto kWait = std::chrono::seconds(60);

template <typename T>
T await(std::future<T>& future) {
  if (future.wait_for(kWait) != std::future_status::ready) {
    ADD_FAILURE() << "timed out waiting for a completion";
    std::abort();  // the completion would later touch a dead promise
  }
  return future.get();
}

inline EndpointConfig test_config() {
  EndpointConfig config;
  config.bind_host = "127.0.0.1";
  config.idle_timeout = std::chrono::seconds(20);
  config.keep_alive = std::chrono::seconds(2);
  return config;
}

inline std::unique_ptr<Endpoint> bind_or_die(EndpointConfig config) {
  auto ep = Endpoint::bind(std::move(config));
  if (!ep.ok()) {
    ADD_FAILURE() << ep.error().message;
    std::abort();
  }
  return std::move(ep).value();
}

inline Result<Connection> connect_sync(Endpoint& ep, const EndpointAddress& to, const std::string& alpn) {
  auto promise = std::make_shared<std::promise<Result<Connection>>>();
  auto future = promise->get_future();
  ep.connect(to, alpn, [promise](Result<Connection> r) { promise->set_value(std::move(r)); });
  return await(future);
}

inline Bytes random_bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Writes data in pieces, each after the previous completed, then finishes the stream.
inline void send_all(SendStream stream, std::shared_ptr<const Bytes> data, size_t piece, WriteDone done,
                     size_t offset = 0) {
  if (offset >= data->size()) {
    stream.finish(std::move(done));
    return;
  }
  size_t n = std::min(piece, data->size() - offset);
  Bytes part(data->begin() + offset, data->begin() + offset + n);
  stream.write(std::move(part), [stream, data, piece, done, offset, n](Status s) mutable {
    if (!s) return done(std::move(s));
    send_all(stream, data, piece, std::move(done), offset + n);
  });
}

// Reads until the peer finishes the stream.
inline void read_all(RecvStream stream, std::function<void(Result<Bytes>)> done,
                     std::shared_ptr<Bytes> acc = std::make_shared<Bytes>()) {
  stream.read_some(64 * 1024, [stream, done, acc](Result<ReadChunk> r) mutable {
    if (!r) return done(r.take_error());
    acc->insert(acc->end(), r->data.begin(), r->data.end());
    if (r->fin) return done(std::move(*acc));
    read_all(stream, std::move(done), acc);
  });
}

}  // namespace kivo::p2p::testing
