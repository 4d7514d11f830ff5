// Interop with the reference implementation (@automerge/automerge run by Node.js):
// files written by either side load in the other with the same view, heads and hashes,
// and a sync session between the two peers converges.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "runtime/doc/document.h"
#include "runtime/doc/json_view.h"
#include "runtime/doc/sync.h"

#include "runtime/doc/transaction.h"
#include "tests/runtime/doc/peer_process.h"
#include "tests/runtime/doc/scenarios.h"

namespace kivo::doc {
namespace {

namespace fs = std::filesystem;
const std::string kInterop = KIVO_DOC_INTEROP_DIR;

std::string run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

Bytes read_file(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const Bytes& b) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

nlohmann::json heads_json(const Heads& heads) {
  nlohmann::json a = nlohmann::json::array();
  for (const auto& h : heads) a.push_back(h.hex());
  return a;
}

std::vector<std::string> sorted_hashes(const Document& d) {
  std::vector<std::string> out;
  for (const auto& c : d.changes()) out.push_back(c.hash.hex());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> sorted(nlohmann::json a) {
  std::vector<std::string> out = a.get<std::vector<std::string>>();
  std::sort(out.begin(), out.end());
  return out;
}

class Interop : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kInterop + "/node_modules/@automerge/automerge"))
        << "reference not installed: run scripts/setup (npm ci in " << kInterop << ")";
    dir = fs::temp_directory_path() / ("kivo-doc-interop-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  nlohmann::json scenario(const std::string& name) {
    std::string prefix = (dir / name).string();
    run("node " + kInterop + "/ref.mjs scenario " + name + " " + prefix);
    std::ifstream f(prefix + ".json");
    return nlohmann::json::parse(f);
  }
  nlohmann::json ref_view(const Bytes& bytes) {
    fs::path p = dir / "ours.automerge";
    write_file(p, bytes);
    std::string out = run("node " + kInterop + "/ref.mjs view " + p.string() + " 2>&1");
    auto j = nlohmann::json::parse(out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << out;
    return j;
  }
  fs::path dir;
};

// Reference-written saves and concatenated incremental saves load with the same view and heads.
TEST_F(Interop, ReferenceFilesLoad) {
  for (std::string name : {"chat", "conflicts"}) {
    SCOPED_TRACE(name);
    auto expected = scenario(name);
    for (std::string ext : {".save", ".incr"}) {
      SCOPED_TRACE(ext);
      auto doc = Document::load(read_file(dir / (name + ext)));
      ASSERT_TRUE(doc.ok()) << doc.error().message;
      EXPECT_EQ(to_json(*doc), expected["view"]);
      EXPECT_EQ(heads_json(doc->heads()), expected["heads"]);
      EXPECT_EQ(sorted_hashes(*doc), sorted(expected["hashes"]));
    }
  }
}

// Conflicting values from three actors: the same winner and the same set of values.
TEST_F(Interop, ConflictsMatch) {
  auto expected = scenario("conflicts");
  auto doc = Document::load(read_file(dir / "conflicts.save"));
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  std::vector<std::string> values;
  for (const auto& v : doc->get_all(ROOT, "m")) values.push_back(doc->text(v.object()->id));
  std::sort(values.begin(), values.end());
  EXPECT_EQ(nlohmann::json(values), expected["conflicts_m"]);
}

// The same operations with the same actor and time give byte-identical changes.
TEST_F(Interop, ChangeHashesEqualReference) {
  struct Case {
    std::string name;
    Document (*make)();
  } cases[] = {{"chat", test::chat_scenario}, {"conflicts", test::conflicts_scenario}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto expected = scenario(c.name);
    Document ours = c.make();
    EXPECT_EQ(to_json(ours), expected["view"]);
    EXPECT_EQ(sorted_hashes(ours), sorted(expected["hashes"]));
    EXPECT_EQ(heads_json(ours.heads()), expected["heads"]);
  }
}

// Our saves, incremental saves and change chunks load in the reference.
TEST_F(Interop, ReferenceLoadsOurFiles) {
  Document ours = test::conflicts_scenario();
  auto expected_view = to_json(ours);
  auto check = [&](const Bytes& bytes) {
    auto j = ref_view(bytes);
    EXPECT_EQ(j["view"], expected_view);
    EXPECT_EQ(j["heads"], heads_json(ours.heads()));
    EXPECT_EQ(sorted(j["hashes"]), sorted_hashes(ours));
  };
  check(ours.save());
  Bytes all;
  for (const auto& c : ours.get_changes({})) all.insert(all.end(), c.begin(), c.end());
  check(all);
  Document chat = test::chat_scenario();
  auto j = ref_view(chat.save());
  EXPECT_EQ(j["view"], to_json(chat));
}

void add_messages(Document& doc, int n, int start) {
  auto tx = doc.begin();
  auto list = doc.get(ROOT, "ours");
  ObjId l = list ? list->object()->id : test::must(tx.put_object(ROOT, "ours", ObjType::List));
  for (int i = 0; i < n; ++i) {
    size_t at = doc.length(l);
    ObjId m = test::must(tx.insert_object(l, at, ObjType::Map));
    ObjId t = test::must(tx.put_object(m, "text", ObjType::Text));
    (void)tx.splice_text(t, 0, 0, "our message " + std::to_string(start + i) + " é😀");
  }
  tx.commit("", 100);
}

// Runs the protocol until neither side has anything to say; returns the rounds used.
int sync_with(Document& ours, SyncState& state, test::PeerProcess& ref) {
  for (int round = 0; round < 100; ++round) {
    bool quiet = true;
    if (auto msg = generate_sync_message(ours, state)) {
      quiet = false;
      EXPECT_EQ(ref.ask("msg " + to_hex(msg->data(), msg->size())), "ok");
    }
    std::string answer = ref.ask("gen");
    if (answer.rfind("msg ", 0) == 0) {
      quiet = false;
      std::vector<uint8_t> bytes;
      EXPECT_TRUE(from_hex(answer.substr(4), bytes));
      auto st = receive_sync_message(ours, state, bytes);
      EXPECT_TRUE(st.ok()) << st.error().message;
    } else {
      EXPECT_EQ(answer, "none");
    }
    if (quiet) return round;
  }
  ADD_FAILURE() << "sync did not settle";
  return -1;
}

// Our peer and a reference peer converge, from scratch and after concurrent edits.
TEST_F(Interop, SyncWithReferencePeer) {
  test::PeerProcess ref({"node", kInterop + "/ref.mjs", "peer"});
  EXPECT_EQ(ref.ask("edit 3"), "ok");
  Document ours;
  add_messages(ours, 40, 0);
  SyncState state;
  sync_with(ours, state, ref);
  auto summary = nlohmann::json::parse(ref.ask("summary"), nullptr, false);
  ASSERT_FALSE(summary.is_discarded());
  EXPECT_EQ(summary["view"], to_json(ours));
  EXPECT_EQ(summary["heads"], heads_json(ours.heads()));
  EXPECT_EQ(ours.length(ours.get(ROOT, "ref")->object()->id), 3u);

  add_messages(ours, 5, 40);
  EXPECT_EQ(ref.ask("edit 4"), "ok");
  sync_with(ours, state, ref);
  summary = nlohmann::json::parse(ref.ask("summary"), nullptr, false);
  ASSERT_FALSE(summary.is_discarded());
  EXPECT_EQ(summary["view"], to_json(ours));
  EXPECT_EQ(summary["heads"], heads_json(ours.heads()));
  EXPECT_EQ(ours.length(ours.get(ROOT, "ours")->object()->id), 45u);
  EXPECT_EQ(ours.length(ours.get(ROOT, "ref")->object()->id), 7u);
}

}  // namespace
}  // namespace kivo::doc
