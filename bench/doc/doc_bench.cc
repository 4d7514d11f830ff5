// Chat-shaped workload timed in our document library and (with --ref) in the reference
// implementation, side by side: build, save size, load in a fresh process, reads, sync,
// memory. Usage: kivo_doc_bench [N...] [--ref]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "runtime/doc/document.h"
#include "runtime/doc/sync.h"
#include "runtime/doc/transaction.h"

using namespace kivo::doc;

namespace {

constexpr int kChannels = 20;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string text(int i) {
  std::string s = "message " + std::to_string(i) +
                  " lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor";
  return s.substr(0, 80);
}

ObjId channel(const Document& d, int c) {
  return d.get(d.get(ROOT, "channels")->object()->id, "c" + std::to_string(c))->object()->id;
}

void add_messages(Document& d, int from, int n) {
  std::vector<ObjId> ch;
  for (int c = 0; c < kChannels; ++c) ch.push_back(channel(d, c));
  for (int i = from; i < from + n; ++i) {
    ObjId list = ch[i % kChannels];
    size_t idx = size_t(i / kChannels);
    {
      auto tx = d.begin();
      ObjId m = tx.insert_object(list, d.length(list), ObjType::Map).value();
      (void)tx.put(m, "author", std::string("user" + std::to_string(i % 50)));
      ObjId t = tx.put_object(m, "text", ObjType::Text).value();
      (void)tx.splice_text(t, 0, 0, text(i));
      (void)tx.put(m, "ts", Timestamp{i});
      tx.commit("", i);
    }
    if (i % 10 == 0) {
      auto tx = d.begin();
      ObjId m = d.get(list, idx)->object()->id;
      ObjId r = tx.put_object(m, "reactions", ObjType::Map).value();
      (void)tx.put(r, "user" + std::to_string(i % 7), true);
      tx.commit("", i);
    }
    if (i % 20 == 0) {
      auto tx = d.begin();
      ObjId m = d.get(list, idx)->object()->id;
      ObjId t = d.get(m, "text")->object()->id;
      std::string s = d.text(t);
      (void)tx.splice_text_diffed(t, s.substr(0, 8) + "edited " + s.substr(8));
      tx.commit("", i);
    }
  }
}

Document build(int n) {
  Document d;
  d.set_actor({0xa1});
  auto tx = d.begin();
  ObjId chans = tx.put_object(ROOT, "channels", ObjType::Map).value();
  for (int c = 0; c < kChannels; ++c) (void)tx.put_object(chans, "c" + std::to_string(c), ObjType::List);
  tx.commit("", 0);
  add_messages(d, 0, n);
  return d;
}

size_t read_channel(const Document& d, ObjId list) {
  size_t chars = 0;
  d.for_each_element(list, [&](size_t, const Value& v) {
    auto t = d.get(v.object()->id, "text");
    chars += d.text(t->object()->id).size();
  });
  return chars;
}

void sync_pair(Document& a, Document& b) {
  SyncState sa, sb;
  for (;;) {
    auto m1 = generate_sync_message(a, sa);
    if (m1 && !receive_sync_message(b, sb, *m1).ok()) std::abort();
    auto m2 = generate_sync_message(b, sb);
    if (m2 && !receive_sync_message(a, sa, *m2).ok()) std::abort();
    if (!m1 && !m2) return;
  }
}

long max_rss_mb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss / 1024;
}

// Loads the file in a child process and reports {load_s, rss_mb, reads} through a pipe.
nlohmann::json load_in_fresh_process(const std::string& file) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::ifstream f(file, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    double t0 = now();
    auto d = Document::load(bytes);
    double t1 = now();
    if (!d.ok()) _exit(1);
    size_t one = read_channel(*d, channel(*d, 0));
    double t2 = now();
    size_t all = 0;
    for (int c = 0; c < kChannels; ++c) all += read_channel(*d, channel(*d, c));
    double t3 = now();
    nlohmann::json j = {{"load_s", t1 - t0}, {"rss_mb", max_rss_mb()}, {"read_channel_s", t2 - t1},
                        {"read_all_s", t3 - t2}, {"chars", one + all}};
    std::string s = j.dump();
    if (write(fds[1], s.data(), s.size()) < 0) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, size_t(n));
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return nlohmann::json::parse(out, nullptr, false);
}

nlohmann::json run_ref(const std::string& args) {
  std::string cmd = std::string("node --max-old-space-size=8192 ") + KIVO_DOC_BENCH_REF + " " + KIVO_DOC_INTEROP_DIR + " " + args;
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return nlohmann::json::parse(out, nullptr, false);
}

void row(const char* what, double ours, const nlohmann::json& ref, const char* key, const char* unit, bool lower_better = true) {
  if (ref.is_object() && ref.contains(key)) {
    double r = ref[key].get<double>();
    double ratio = lower_better ? r / ours : ours / r;
    std::printf("  %-28s ours %10.3f %-3s  reference %10.3f %-3s  ratio %.1fx\n", what, ours, unit, r, unit, ratio);
  } else {
    std::printf("  %-28s ours %10.3f %s\n", what, ours, unit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  bool ref = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--ref") ref = true;
    else sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) sizes = {10000};
  for (int n : sizes) {
    std::printf("N = %d messages (%d channels, reactions every 10th, edits every 20th)\n", n, kChannels);
    std::string ours_file = "/tmp/kivo-doc-bench-ours-" + std::to_string(n) + ".automerge";
    std::string ref_file = "/tmp/kivo-doc-bench-ref-" + std::to_string(n) + ".automerge";
    double t0 = now();
    Document d = build(n);
    double build_s = now() - t0;
    Bytes saved = d.save();
    std::ofstream(ours_file, std::ios::binary).write(reinterpret_cast<const char*>(saved.data()), std::streamsize(saved.size()));
    nlohmann::json rb, rl, rs;
    if (ref) {
      rb = run_ref("build " + std::to_string(n) + " " + ref_file);
      rl = run_ref("load " + ref_file);
      rs = run_ref("sync " + ref_file);
    }
    auto ol = load_in_fresh_process(ours_file);
    row("build (s)", build_s, rb, "build_s", "s");
    std::printf("  %-28s ours %10.0f msg/s\n", "build rate", n / build_s);
    row("save size (bytes)", double(saved.size()), rb, "size", "B");
    row("load, fresh process (s)", ol["load_s"].get<double>(), rl, "load_s", "s");
    row("read one channel (s)", ol["read_channel_s"].get<double>(), rl, "read_channel_s", "s");
    row("read all messages (s)", ol["read_all_s"].get<double>(), rl, "read_all_s", "s");
    row("resident after load (MB)", ol["rss_mb"].get<double>(), rl, "rss_mb", "MB");

    auto loaded = Document::load(saved);
    Document empty;
    double s0 = now();
    sync_pair(*loaded, empty);
    double full_sync = now() - s0;
    if (empty.heads() != loaded->heads()) std::printf("  SYNC DID NOT CONVERGE\n");
    add_messages(*loaded, n, 100);
    double s1 = now();
    sync_pair(*loaded, empty);
    double incr_sync = now() - s1;
    row("full sync (s)", full_sync, rs, "full_sync_s", "s");
    row("incremental sync, 100 (s)", incr_sync, rs, "incr_sync_s", "s");
    std::printf("  %-28s ours %10ld MB (this process, all steps)\n", "peak resident", max_rss_mb());
  }
  return 0;
}
