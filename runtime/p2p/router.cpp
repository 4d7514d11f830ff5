#include "runtime/p2p/router.h"

namespace kivo::p2p {

Status Router::add(std::string alpn, ConnectionHandler handler) {
  if (alpn.empty() || alpn.size() > 255) return make_error("ALPN must be 1 to 255 bytes");
  if (!handler) return make_error("handler for \"" + alpn + "\" is empty");
  if (m_handlers.count(alpn)) return make_error("ALPN \"" + alpn + "\" already has a handler");
  m_handlers.emplace(std::move(alpn), std::move(handler));
  return {};
}

const ConnectionHandler* Router::find(const std::string& alpn) const {
  auto it = m_handlers.find(alpn);
  return it == m_handlers.end() ? nullptr : &it->second;
}

std::vector<std::string> Router::alpns() const {
  std::vector<std::string> out;
  for (const auto& [alpn, handler] : m_handlers) out.push_back(alpn);
  return out;
}

}  // namespace kivo::p2p
