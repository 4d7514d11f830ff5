// Routes accepted connections to the handler registered for the ALPN they negotiated.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/p2p/connection.h"

namespace kivo::p2p {

// Runs once per accepted connection, on the endpoint's network thread; it must not block.
using ConnectionHandler = std::function<void(Connection)>;

class Router {
public:
  // Registers a handler; the ALPN must be 1..255 bytes and not registered yet.
  Status add(std::string alpn, ConnectionHandler handler);
  const ConnectionHandler* find(const std::string& alpn) const;  // null when unknown
  std::vector<std::string> alpns() const;
  bool empty() const { return m_handlers.empty(); }

private:
  std::map<std::string, ConnectionHandler> m_handlers;
};

}  // namespace kivo::p2p
