#include "runtime/p2p/endpoint.h"

#include "runtime/p2p/detail/state.h"

namespace kivo::p2p {

Result<std::unique_ptr<Endpoint>> Endpoint::bind(EndpointConfig config) {
  auto core = std::make_shared<detail::Core>(std::move(config));
  KIVO_TRY_ASSIGN(identity, detail::TlsIdentity::create(core->key));
  core->identity = std::move(identity);
  KIVO_TRY(core->open_socket());
  core->collect_interface_addrs();
  core->start();
  return std::unique_ptr<Endpoint>(new Endpoint(std::move(core)));
}

Endpoint::~Endpoint() { m_core->stop_and_join(); }

PublicKey Endpoint::id() const { return m_core->key.public_key(); }

SocketAddr Endpoint::local_addr() const { return detail::to_socket_addr(m_core->local); }

EndpointAddress Endpoint::address() const {
  EndpointAddress address;
  address.id = id();
  for (const auto& addr : m_core->interface_addrs) address.addrs.push_back(addr);
  return address;
}

void Endpoint::connect(EndpointAddress address, std::string alpn, std::function<void(Result<Connection>)> done) {
  m_core->post([core = m_core, address = std::move(address), alpn = std::move(alpn), done = std::move(done)]() mutable {
    core->connect(std::move(address), std::move(alpn), std::move(done));
  });
}

void Endpoint::serve(Router router) {
  m_core->post([core = m_core, router = std::move(router)]() mutable {
    if (!core->shutting_down) core->router = std::move(router);
  });
}

void Endpoint::stop_serving() {
  m_core->post([core = m_core] { core->router.reset(); });
}

void Endpoint::shutdown(std::function<void()> done) {
  m_core->post([core = m_core, done = std::move(done)]() mutable { core->shutdown_on_thread(std::move(done)); });
}

}  // namespace kivo::p2p
