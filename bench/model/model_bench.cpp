// Times SendMessage (through the executor, with its duplicate-id check over every channel) and the
// hydration of one channel, on workspaces of 1,000 and 100,000 messages. Every channel holds 100
// messages, so the workspace grows by channels: a ratio near 1 means the cost does not grow with it.
#include <chrono>
#include <cstdio>
#include <string>

#include "model/chat_action_json.h"
#include "model/chat_action_registration.h"
#include "model/doc_action_target.h"
#include "model/doc_writers.h"
#include "model/hydration.h"
#include "runtime/actions/action_transport.h"
#include "runtime/actions/executor.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPerChannel = 100;

std::string channel_id(int i) { return "c_" + std::to_string(i); }

// A workspace of `messages` messages, written in batches of 1,000 per change.
kivo::doc::Document build(int messages) {
  const int kChannels = messages / kPerChannel;
  kivo::doc::Document doc;
  {
    auto tx = doc.begin();
    chat::DocWrite w{doc, tx};
    for (int c = 0; c < kChannels; ++c)
      chat::write_channel(w, channel_id(c), "ws", "", channel_id(c), "", chat::ChannelKind::Text,
                          static_cast<uint32_t>(c));
    tx.commit("channels");
  }
  chat::MessageIndex index;
  for (int done = 0; done < messages;) {
    auto before = doc.heads();
    auto tx = doc.begin();
    chat::DocWrite w{doc, tx};
    for (int n = 0; n < 1000 && done < messages; ++n, ++done) {
      chat::Message m;
      m.id = "m_seed_" + std::to_string(done);
      m.author = "u_a";
      m.ts = done;
      m.text = "message number " + std::to_string(done);
      chat::insert_message(w, channel_id(done % kChannels), m, &index);
    }
    tx.commit("batch");
    index.advance(before, doc.heads());
  }
  return doc;
}

struct Figures {
  double send_us = 0;
  double hydrate_us = 0;
  size_t rebuilds = 0;
};

Figures measure(int messages) {
  const int kChannels = messages / kPerChannel;
  kivo::doc::Document doc = build(messages);
  chat::DocActionTarget target(doc);
  kivo_actions::TypedActionRegistry registry;
  chat::register_chat_action(registry);
  kivo_actions::LocalTransport transport;

  // The first dispatch builds the message index once; steady state is what we time.
  constexpr int kSends = 200;
  auto send = [&](int i) {
    chat::ChatAction a = chat::action::SendMessage{channel_id(i % kChannels), "m_bench_" + std::to_string(i + 1), "u_b", 0,
                                                   "hello", {}, {}, {}, {}};
    auto r = kivo_actions::executor::dispatch_by(registry, target, transport, chat::encode_chat_action_as_encoded(a));
    if (!r.ok() || !r.value().changed) std::fprintf(stderr, "send %d failed\n", i);
  };
  send(kSends);
  auto t0 = Clock::now();
  for (int i = 0; i < kSends; ++i) send(i);
  auto t1 = Clock::now();

  constexpr int kHydrations = 50;
  size_t seen = 0;
  for (int i = 0; i < kHydrations; ++i) seen += chat::load_messages(doc, channel_id(i % kChannels)).size();
  auto t2 = Clock::now();
  if (seen == 0) std::fprintf(stderr, "nothing hydrated\n");

  Figures f;
  f.send_us = std::chrono::duration<double, std::micro>(t1 - t0).count() / kSends;
  f.hydrate_us = std::chrono::duration<double, std::micro>(t2 - t1).count() / kHydrations;
  f.rebuilds = target.message_index().rebuilds();
  return f;
}

}  // namespace

int main() {
  Figures small = measure(1000);
  Figures large = measure(100000);
  std::printf("%-34s %14s %14s %8s\n", "operation (100 messages/channel)", "1,000 msgs", "100,000 msgs", "ratio");
  std::printf("%-34s %11.1f us %11.1f us %8.2f\n", "SendMessage via executor", small.send_us, large.send_us,
              large.send_us / small.send_us);
  std::printf("%-34s %11.1f us %11.1f us %8.2f\n", "hydrate one channel", small.hydrate_us, large.hydrate_us,
              large.hydrate_us / small.hydrate_us);
  std::printf("message index rebuilds: %zu and %zu (once each, on the first send)\n", small.rebuilds, large.rebuilds);
  return 0;
}
