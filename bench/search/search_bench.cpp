// Times building a search catalog of chat-shaped documents and querying it, at two sizes.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "runtime/ui/search_catalog.h"

using namespace kivo_ui::search::provider;
using Clock = std::chrono::steady_clock;

static const char* kWords[] = {"design", "review", "the", "call", "overlay", "grid", "tile", "screen", "share",
                               "ship", "kernel", "compositor", "sync", "swarm", "motion", "token", "ring",
                               "audio", "camera", "résumé", "naïve", "déjà", "🎉", "deploy", "merge", "branch",
                               "theme", "colour", "cluster", "host", "follow", "filmstrip", "presenter", "legible"};

static std::string sentence(std::mt19937& rng, int words) {
  std::string s;
  for (int i = 0; i < words; ++i) {
    if (i) s += ' ';
    s += kWords[rng() % (sizeof kWords / sizeof *kWords)];
  }
  return s;
}

static double ms_since(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

static void run(int messages) {
  std::mt19937 rng(42);
  std::vector<SearchDocument> docs;
  for (int i = 0; i < messages; ++i) {
    std::string key = "chat.message:m_" + std::to_string(i);
    std::string text = sentence(rng, 12) + " m" + std::to_string(i);
    docs.push_back({key, "Lena Brook " + text,
                    SearchResult{"Messages", text.substr(0, 96), "Lena Brook · #design-crit · Acme", std::nullopt,
                                 SearchResult::action_id_for({key, "open"}), i}});
  }
  auto t0 = Clock::now();
  SearchCatalog catalog("Chat");
  for (auto& d : docs) catalog.upsert(std::move(d));
  double build = ms_since(t0);

  const char* queries[] = {"design", "resume overlay", "gr", "m12345", "presenter legible tile", "zzz"};
  std::printf("%7d messages: build %8.1f ms (%.2f us/doc), %llu postings\n", messages, build,
              build * 1000.0 / messages, static_cast<unsigned long long>(catalog.stats().postings));
  for (const char* q : queries) {
    int rounds = 20;
    size_t total = 0;
    auto t = Clock::now();
    for (int r = 0; r < rounds; ++r) total = catalog.query_page(q, std::nullopt, 50).total;
    std::printf("    query %-24s %7.3f ms  (%zu hits)\n", q, ms_since(t) / rounds, total);
  }
}

int main() {
  run(1000);
  run(100000);
  return 0;
}
