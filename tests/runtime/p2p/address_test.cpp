// Endpoint keys and addresses: the JSON text round trip and what parsing refuses.
#include <gtest/gtest.h>

#include "runtime/p2p/endpoint_address.h"
#include "runtime/p2p/secret_key.h"

namespace kivo::p2p {
namespace {

TEST(SecretKey, SeedDeterminesPublicKeyAndHexRoundTrips) {
  SecretKey a = SecretKey::generate();
  SecretKey b = SecretKey::generate();
  EXPECT_NE(a.public_key(), b.public_key());
  auto again = SecretKey::from_hex(a.to_hex());
  ASSERT_TRUE(again.ok()) << again.error().message;
  EXPECT_EQ(again->public_key(), a.public_key());
  auto parsed = parse_public_key(a.public_key().to_hex());
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(*parsed, a.public_key());
}

TEST(SecretKey, RejectsMalformedHex) {
  for (std::string bad : {std::string(""), std::string(63, 'a'), std::string(65, 'a'), std::string(64, 'G'),
                          std::string(64, 'A')}) {
    EXPECT_FALSE(parse_public_key(bad).ok()) << bad;
    EXPECT_FALSE(SecretKey::from_hex(bad).ok()) << bad;
  }
}

EndpointAddress sample_address() {
  EndpointAddress address;
  address.id = SecretKey::generate().public_key();
  address.addrs = {SocketAddr{"10.201.0.1", 4433}, SocketAddr{"::1", 9}, RelayUrl{"https://relay.example.org/"},
                   CustomAddr{7, {0x00, 0xff, 0x10}}, CustomAddr{0, {}}};
  return address;
}

TEST(EndpointAddress, JsonRoundTripIsExact) {
  EndpointAddress address = sample_address();
  std::string text = to_json(address);
  auto parsed = parse_endpoint_address(text);
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  EXPECT_EQ(*parsed, address);
  EXPECT_EQ(to_json(*parsed), text);  // a second instance writes the same ticket
}

TEST(EndpointAddress, WritesTheDocumentedShape) {
  EndpointAddress address;
  address.id = SecretKey::generate().public_key();
  address.addrs = {SocketAddr{"127.0.0.1", 5}, RelayUrl{"https://r.example/"}, CustomAddr{1, {0xab}}};
  EXPECT_EQ(to_json(address), "{\"addrs\":[{\"Ip\":\"127.0.0.1:5\"},{\"Relay\":\"https://r.example/\"},"
                              "{\"Custom\":{\"data\":\"ab\",\"kind\":1}}],\"id\":\"" +
                                  address.id.to_hex() + "\"}");
}

TEST(EndpointAddress, EmptyAddressListRoundTrips) {
  EndpointAddress address;
  address.id = SecretKey::generate().public_key();
  auto parsed = parse_endpoint_address(to_json(address));
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(*parsed, address);
}

TEST(EndpointAddress, RejectsEverythingElse) {
  const std::string id = SecretKey::generate().public_key().to_hex();
  const std::string q = "\"" + id + "\"";
  // An all-zero-but-one y coordinate that is not on the curve.
  const std::string off_curve = "\"0200000000000000000000000000000000000000000000000000000000000000\"";
  const std::vector<std::string> cases = {
      "",
      "not json",
      "[]",
      "\"text\"",
      "{}",
      "{\"id\":" + q + "}",
      "{\"addrs\":[]}",
      "{\"id\":" + q + ",\"addrs\":{}}",
      "{\"id\":" + q + ",\"addrs\":[],\"extra\":1}",
      "{\"id\":12,\"addrs\":[]}",
      "{\"id\":\"abcd\",\"addrs\":[]}",
      "{\"id\":" + off_curve + ",\"addrs\":[]}",
      "{\"id\":" + q + ",\"addrs\":[\"127.0.0.1:1\"]}",
      "{\"id\":" + q + ",\"addrs\":[{}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"127.0.0.1:1\",\"Relay\":\"https://a/\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Tcp\":\"127.0.0.1:1\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"127.0.0.1\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"127.0.0.1:0\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"127.0.0.1:65536\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"127.0.0.1:-1\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"127.0.0.1:1x\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"300.0.0.1:1\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"::1:5\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"[::1]\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"[127.0.0.1]:5\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":\"example.org:5\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Ip\":5}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Relay\":\"relay.example.org\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Relay\":\"ftp://relay.example.org/\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Relay\":\"https://\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Relay\":\"https://a b/\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Custom\":\"00\"}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Custom\":{\"kind\":1}}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Custom\":{\"kind\":-1,\"data\":\"\"}}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Custom\":{\"kind\":1,\"data\":\"abc\"}}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Custom\":{\"kind\":1,\"data\":\"zz\"}}]}",
      "{\"id\":" + q + ",\"addrs\":[{\"Custom\":{\"kind\":1,\"data\":\"00\",\"x\":1}}]}",
      "{\"id\":" + q + ",\"addrs\":[]} trailing",
  };
  for (const auto& text : cases) {
    auto parsed = parse_endpoint_address(text);
    EXPECT_FALSE(parsed.ok()) << "accepted: " << text;
    if (!parsed.ok()) {
      EXPECT_FALSE(parsed.error().message.empty());
    }
  }
}

TEST(EndpointAddress, RejectsOversizedInput) {
  std::string id = SecretKey::generate().public_key().to_hex();
  std::string many = "{\"id\":\"" + id + "\",\"addrs\":[";
  for (size_t i = 0; i <= kMaxTransportAddrs; ++i) many += std::string(i ? "," : "") + "{\"Ip\":\"10.0.0.1:1\"}";
  many += "]}";
  EXPECT_FALSE(parse_endpoint_address(many).ok());
  EXPECT_FALSE(parse_endpoint_address(std::string(kMaxAddressJsonBytes + 1, ' ')).ok());
}

TEST(SocketAddr, ParsesAndCanonicalises) {
  struct Case {
    std::string text, host, written;
    uint16_t port;
  };
  for (const auto& c : std::vector<Case>{{"127.0.0.1:80", "127.0.0.1", "127.0.0.1:80", 80},
                                         {"[::1]:65535", "::1", "[::1]:65535", 65535},
                                         {"[0:0::1]:7", "::1", "[::1]:7", 7},
                                         {"[2001:DB8::1]:7", "2001:db8::1", "[2001:db8::1]:7", 7}}) {
    auto addr = parse_socket_addr(c.text);
    ASSERT_TRUE(addr.ok()) << c.text << ": " << addr.error().message;
    EXPECT_EQ(addr->host, c.host);
    EXPECT_EQ(addr->port, c.port);
    EXPECT_EQ(addr->to_string(), c.written);
  }
}

}  // namespace
}  // namespace kivo::p2p
