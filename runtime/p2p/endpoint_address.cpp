#include "runtime/p2p/endpoint_address.h"

#include <arpa/inet.h>

#include <charconv>
#include <nlohmann/json.hpp>

namespace kivo::p2p {
namespace {

using nlohmann::json;

Result<std::string> canonical_ip(std::string_view text, bool v6) {
  std::string copy(text);
  unsigned char raw[16];
  char out[INET6_ADDRSTRLEN];
  int family = v6 ? AF_INET6 : AF_INET;
  if (inet_pton(family, copy.c_str(), raw) != 1) return make_error("not an IP address: \"" + copy + "\"");
  if (!inet_ntop(family, raw, out, sizeof out)) return make_error("cannot format IP address");
  return std::string(out);
}

std::string hex_of(const std::vector<uint8_t>& data) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : data) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

Result<std::vector<uint8_t>> bytes_of_hex(const std::string& hex) {
  if (hex.size() % 2 != 0) return make_error("custom address data has an odd number of hex digits");
  std::vector<uint8_t> out;
  out.reserve(hex.size() / 2);
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return make_error("custom address data is not lowercase hex");
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return out;
}

Status check_relay_url(const std::string& url) {
  auto scheme_end = url.find("://");
  if (scheme_end == std::string::npos) return make_error("relay URL has no scheme: \"" + url + "\"");
  std::string scheme = url.substr(0, scheme_end);
  if (scheme != "https" && scheme != "http") return make_error("relay URL must use http or https: \"" + url + "\"");
  if (url.size() == scheme_end + 3 || url[scheme_end + 3] == '/') return make_error("relay URL has no host: \"" + url + "\"");
  for (unsigned char c : url)
    if (c <= 0x20 || c == 0x7f) return make_error("relay URL contains a space or control character");
  return {};
}

// One entry of "addrs": an object with exactly one key naming its kind.
Result<TransportAddr> parse_transport_addr(const json& entry) {
  if (!entry.is_object() || entry.size() != 1) return make_error("each address must be an object with one key");
  const auto& [kind, value] = *entry.items().begin();
  if (kind == "Ip") {
    if (!value.is_string()) return make_error("\"Ip\" must hold a socket address string");
    KIVO_TRY_ASSIGN(addr, parse_socket_addr(value.get<std::string>()));
    return TransportAddr{addr};
  }
  if (kind == "Relay") {
    if (!value.is_string()) return make_error("\"Relay\" must hold a URL string");
    std::string url = value.get<std::string>();
    KIVO_TRY(check_relay_url(url));
    return TransportAddr{RelayUrl{url}};
  }
  if (kind == "Custom") {
    if (!value.is_object() || value.size() != 2 || !value.contains("kind") || !value.contains("data"))
      return make_error("\"Custom\" must hold an object with \"kind\" and \"data\"");
    const json& k = value["kind"];
    const json& d = value["data"];
    if (!k.is_number_unsigned()) return make_error("custom address kind must be an unsigned integer");
    if (!d.is_string()) return make_error("custom address data must be a hex string");
    std::string hex = d.get<std::string>();
    if (hex.size() > 2 * kMaxCustomAddrBytes) return make_error("custom address data is too long");
    KIVO_TRY_ASSIGN(bytes, bytes_of_hex(hex));
    return TransportAddr{CustomAddr{k.get<uint64_t>(), std::move(bytes)}};
  }
  return make_error("unknown address kind \"" + kind + "\"");
}

}  // namespace

std::string SocketAddr::to_string() const {
  return (is_v6() ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

Result<SocketAddr> parse_socket_addr(std::string_view text) {
  std::string_view host, port_text;
  bool v6 = false;
  if (!text.empty() && text.front() == '[') {
    auto close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return make_error("IPv6 socket address must look like [addr]:port");
    host = text.substr(1, close - 1);
    port_text = text.substr(close + 2);
    v6 = true;
  } else {
    auto colon = text.rfind(':');
    if (colon == std::string_view::npos) return make_error("socket address has no port");
    host = text.substr(0, colon);
    port_text = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return make_error("IPv6 socket address needs brackets");
  }
  unsigned port = 0;
  auto [end, ec] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (port_text.empty() || ec != std::errc() || end != port_text.data() + port_text.size() || port == 0 || port > 65535)
    return make_error("socket address port must be 1..65535");
  KIVO_TRY_ASSIGN(canonical, canonical_ip(host, v6));
  return SocketAddr{canonical, static_cast<uint16_t>(port)};
}

std::string to_json(const EndpointAddress& address) {
  json addrs = json::array();
  for (const auto& addr : address.addrs) {
    if (auto* ip = std::get_if<SocketAddr>(&addr)) addrs.push_back({{"Ip", ip->to_string()}});
    else if (auto* relay = std::get_if<RelayUrl>(&addr)) addrs.push_back({{"Relay", relay->url}});
    else {
      const auto& custom = std::get<CustomAddr>(addr);
      addrs.push_back({{"Custom", {{"kind", custom.kind}, {"data", hex_of(custom.data)}}}});
    }
  }
  json doc = {{"id", address.id.to_hex()}, {"addrs", std::move(addrs)}};
  return doc.dump();
}

Result<EndpointAddress> parse_endpoint_address(std::string_view text) {
  if (text.size() > kMaxAddressJsonBytes) return make_error("endpoint address is longer than 64 KiB");
  json doc = json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) return make_error("endpoint address is not valid JSON");
  if (!doc.is_object()) return make_error("endpoint address must be a JSON object");
  for (const auto& [key, value] : doc.items()) {
    (void)value;
    if (key != "id" && key != "addrs") return make_error("endpoint address has an unknown key \"" + key + "\"");
  }
  if (!doc.contains("id") || !doc["id"].is_string()) return make_error("endpoint address needs an \"id\" string");
  if (!doc.contains("addrs") || !doc["addrs"].is_array()) return make_error("endpoint address needs an \"addrs\" list");
  EndpointAddress address;
  auto id = parse_public_key(doc["id"].get<std::string>());
  if (!id) return make_error("endpoint address id: " + id.error().message);
  address.id = id.value();
  const json& addrs = doc["addrs"];
  if (addrs.size() > kMaxTransportAddrs) return make_error("endpoint address lists too many addresses");
  for (const json& entry : addrs) {
    KIVO_TRY_ASSIGN(addr, parse_transport_addr(entry));
    address.addrs.push_back(std::move(addr));
  }
  return address;
}

}  // namespace kivo::p2p
