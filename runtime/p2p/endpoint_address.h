// The address of an endpoint: its public key and the transport addresses it can be reached at.
// Its JSON text is what peers exchange (the call ticket); parsing is strict.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/p2p/secret_key.h"

namespace kivo::p2p {

// A UDP socket address; host is the canonical text of an IPv4 or IPv6 address.
struct SocketAddr {
  std::string host;  // "10.0.0.1" or "fe80::1" (no brackets, no zone)
  uint16_t port = 0;

  bool is_v6() const { return host.find(':') != std::string::npos; }
  std::string to_string() const;  // "10.0.0.1:4433" or "[::1]:4433"
  friend bool operator==(const SocketAddr&, const SocketAddr&) = default;
};

// Parses "a.b.c.d:port" or "[v6]:port"; the port must be 1..65535.
Result<SocketAddr> parse_socket_addr(std::string_view text);

// A relay server that forwards traffic for this endpoint (used once relaying exists).
struct RelayUrl {
  std::string url;  // "https://relay.example.org/"
  friend bool operator==(const RelayUrl&, const RelayUrl&) = default;
};

// A transport address of a kind this library does not interpret, carried unchanged.
struct CustomAddr {
  uint64_t kind = 0;          // who defines the payload
  std::vector<uint8_t> data;  // opaque bytes, written as hex
  friend bool operator==(const CustomAddr&, const CustomAddr&) = default;
};

using TransportAddr = std::variant<SocketAddr, RelayUrl, CustomAddr>;

struct EndpointAddress {
  PublicKey id;                      // the key the endpoint proves in the TLS handshake
  std::vector<TransportAddr> addrs;  // where to reach it, most preferred first
  friend bool operator==(const EndpointAddress&, const EndpointAddress&) = default;
};

// JSON: {"addrs":[{"Ip":"1.2.3.4:5"},{"Relay":"https://r/"},{"Custom":{"data":"00ff","kind":7}}],"id":"<64 hex>"}
std::string to_json(const EndpointAddress& address);
Result<EndpointAddress> parse_endpoint_address(std::string_view json);

inline constexpr size_t kMaxAddressJsonBytes = 64 * 1024;  // longer texts are refused unread
inline constexpr size_t kMaxTransportAddrs = 64;
inline constexpr size_t kMaxCustomAddrBytes = 1024;

}  // namespace kivo::p2p
