#include "runtime/ui/persist.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/runtime/ui_support/temp_dir.h"

namespace kivo_ui::persist {
namespace {

namespace fs = std::filesystem;
using kivo_test::read_text;
using kivo_test::TempDir;
using kivo_test::write_text;

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::vector<std::string> changes_of(const Store& store) {
  std::vector<std::string> out;
  for (const auto& c : store.initial_changes()) out.push_back(text(c));
  return out;
}

Request request_in(const fs::path& dir) { return Request{"org.kivo.Test", dir}; }

Handle open_ok(const Request& request) {
  auto store = open(request);
  EXPECT_TRUE(store.ok()) << store.error().message;
  return store.ok() ? store.value() : nullptr;
}

void append_ok(Store& store, const std::string& change) {
  auto status = store.append_change(bytes(change));
  ASSERT_TRUE(status.ok()) << status.error().message;
}

// Runs `body` in a child process and answers how it ended (the raw waitpid status).
int run_in_child(const std::function<void()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(Persist, ReopenHandsBackSnapshotThenEveryChange) {
  TempDir dir;
  {
    auto store = open_ok(request_in(dir.path()));
    EXPECT_TRUE(store->initial_bytes().empty());
    append_ok(*store, "a");
    append_ok(*store, "bb");
  }
  {
    auto store = open_ok(request_in(dir.path()));
    EXPECT_EQ(changes_of(*store), (std::vector<std::string>{"a", "bb"}));
    EXPECT_EQ(text(store->initial_bytes()), "abb");
    ASSERT_TRUE(store->compact(bytes("S(a,bb)")).ok());
    append_ok(*store, "c");
  }
  auto store = open_ok(request_in(dir.path()));
  EXPECT_EQ(text(store->initial_snapshot()), "S(a,bb)");
  EXPECT_EQ(changes_of(*store), (std::vector<std::string>{"c"}));
  EXPECT_EQ(text(store->initial_bytes()), "S(a,bb)c");
  EXPECT_EQ(store->data_dir(), dir.path());
}

TEST(Persist, ChangeSurvivesSigkillRightAfterAppend) {
  TempDir dir;
  int status = run_in_child([&] {
    auto store = open(request_in(dir.path()));
    if (!store.ok() || !store.value()->append_change(bytes("one")).ok() ||
        !store.value()->append_change(bytes("two")).ok())
      ::_exit(3);
    ::kill(::getpid(), SIGKILL);
  });
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  auto store = open_ok(request_in(dir.path()));  // the dead child's lock is gone with it
  EXPECT_EQ(changes_of(*store), (std::vector<std::string>{"one", "two"}));
}

// Damage applied to a log holding the records "first", "second", "third".
struct TailCase {
  const char* name;
  std::function<void(std::string& log)> damage;
  std::vector<std::string> kept;
};

TEST(Persist, DamagedLogLosesOnlyTheDamagedPartAndStaysAppendable) {
  const size_t third_len = kRecordHeaderSize + 5;  // framing of "third"
  const TailCase cases[] = {
      {"cut inside the last payload", [](std::string& l) { l.resize(l.size() - 2); }, {"first", "second"}},
      {"cut inside the last header", [&](std::string& l) { l.resize(l.size() - third_len + 3); }, {"first", "second"}},
      {"garbage after the last record", [](std::string& l) { l += "\x13garbage\x00\x01"; },
       {"first", "second", "third"}},
      {"zeros after the last record", [](std::string& l) { l.append(4096, '\0'); }, {"first", "second", "third"}},
      {"flipped byte in the last payload", [](std::string& l) { l.back() ^= 0x20; }, {"first", "second"}},
      {"flipped byte in the last length", [&](std::string& l) { l[l.size() - third_len] ^= 0x01; },
       {"first", "second"}},
      {"huge last length", [&](std::string& l) { l[l.size() - third_len + 3] = '\x7f'; }, {"first", "second"}},
      {"flipped byte in the middle record", [&](std::string& l) { l[l.size() - third_len - 1] ^= 0x40; },
       {"first"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path log = dir.path() / "document" / "changes.log";
    {
      auto store = open_ok(request_in(dir.path()));
      for (auto change : {"first", "second", "third"}) append_ok(*store, change);
    }
    std::string file = read_text(log);
    c.damage(file);
    write_text(log, file);
    {
      auto store = open_ok(request_in(dir.path()));
      EXPECT_EQ(changes_of(*store), c.kept);
      EXPECT_GT(store->open_report().dropped_tail_bytes, 0u);
      append_ok(*store, "after");
    }
    auto store = open_ok(request_in(dir.path()));
    auto expected = c.kept;
    expected.push_back("after");
    EXPECT_EQ(changes_of(*store), expected);
    EXPECT_EQ(store->open_report().dropped_tail_bytes, 0u);
  }
}

TEST(Persist, FailedAppendKeepsNothingOfTheChunk) {
  TempDir dir;
  { append_ok(*open_ok(request_in(dir.path())), "before"); }
  const fs::path log = dir.path() / "document" / "changes.log";
  const auto size = fs::file_size(log);
  int status = run_in_child([&] {
    auto store = open(request_in(dir.path()));
    if (!store.ok()) ::_exit(3);
    // Let the file grow by only a few bytes: the write of the record below stops part-way.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    rlimit small = limit;
    small.rlim_cur = size + 40;  // more than the record of "next" below
    ::setrlimit(RLIMIT_FSIZE, &small);
    if (store.value()->append_change(bytes(std::string(100, 'x'))).ok()) ::_exit(4);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    if (!store.value()->append_change(bytes("next")).ok()) ::_exit(5);
  });
  ASSERT_TRUE(WIFEXITED(status)) << status;
  ASSERT_EQ(WEXITSTATUS(status), 0);
  auto store = open_ok(request_in(dir.path()));
  EXPECT_EQ(changes_of(*store), (std::vector<std::string>{"before", "next"}));
  EXPECT_EQ(store->open_report().dropped_tail_bytes, 0u);
}

TEST(Persist, CompactionKeepsEverythingAcrossACrashInTheMiddle) {
  TempDir dir;
  const fs::path doc = dir.path() / "document";
  std::string log_before;
  {
    auto store = open_ok(request_in(dir.path()));
    append_ok(*store, "a");
    append_ok(*store, "b");
    log_before = read_text(doc / "changes.log");
    ASSERT_TRUE(store->compact(bytes("S(a,b)")).ok());
    EXPECT_EQ(store->log_records(), 0u);
  }
  // A crash after the snapshot was renamed into place but before the log was replaced leaves
  // the old log behind; its changes are inside the snapshot and must not come back twice.
  write_text(doc / "changes.log", log_before);
  write_text(doc / "snapshot.tmp", "half-written snapshot of a later compaction");
  {
    auto store = open_ok(request_in(dir.path()));
    EXPECT_EQ(text(store->initial_snapshot()), "S(a,b)");
    EXPECT_TRUE(store->initial_changes().empty());
    EXPECT_TRUE(store->open_report().discarded_stale_log);
    append_ok(*store, "c");
  }
  auto store = open_ok(request_in(dir.path()));
  EXPECT_EQ(text(store->initial_bytes()), "S(a,b)c");
  EXPECT_FALSE(fs::exists(doc / "snapshot.tmp"));
}

TEST(Persist, DamagedSnapshotIsRefusedAndLeftUntouched) {
  TempDir dir;
  {
    auto store = open_ok(request_in(dir.path()));
    ASSERT_TRUE(store->compact(bytes("full save")).ok());
  }
  const fs::path snapshot = dir.path() / "document" / "snapshot";
  std::string file = read_text(snapshot);
  file.back() ^= 0x01;
  write_text(snapshot, file);
  auto store = open(request_in(dir.path()));
  ASSERT_FALSE(store.ok());
  EXPECT_NE(store.error().message.find("damaged"), std::string::npos) << store.error().message;
  EXPECT_EQ(read_text(snapshot), file);
}

TEST(Persist, NeedsCompactionFollowsTheLimits) {
  TempDir dir;
  for (bool on_disk : {false, true}) {
    SCOPED_TRACE(on_disk ? "on disk" : "in memory");
    Request by_count{"org.kivo.Test", on_disk ? std::optional(dir.path() / "count") : std::nullopt, 1u << 20, 3};
    auto store = open_ok(by_count);
    append_ok(*store, "1");
    append_ok(*store, "2");
    EXPECT_FALSE(store->needs_compaction());
    append_ok(*store, "3");
    EXPECT_TRUE(store->needs_compaction());
    ASSERT_TRUE(store->compact(bytes("S")).ok());
    EXPECT_FALSE(store->needs_compaction());

    Request by_size{"org.kivo.Test", on_disk ? std::optional(dir.path() / "size") : std::nullopt, 100, 1000};
    auto sized = open_ok(by_size);
    append_ok(*sized, std::string(50, 'x'));
    EXPECT_FALSE(sized->needs_compaction());
    append_ok(*sized, std::string(50, 'y'));
    EXPECT_TRUE(sized->needs_compaction());
  }
}

TEST(Persist, RequestWithoutDirectoryKeepsTheStoreInMemory) {
  auto store = open_ok(Request{"org.kivo.Test", std::nullopt});
  EXPECT_FALSE(store->data_dir().has_value());
  EXPECT_TRUE(store->initial_bytes().empty());
  append_ok(*store, "change");
  EXPECT_EQ(store->log_records(), 1u);
  // A second in-memory store is independent: there is nothing to lock.
  EXPECT_TRUE(open(Request{"org.kivo.Test", std::nullopt}).ok());
}

TEST(Persist, MigrationImportsTheLegacyFileOnceAndLeavesIt) {
  TempDir dir;
  const fs::path legacy = dir.path() / "workspace.automerge";
  write_text(legacy, "legacy save");
  {
    auto store = open_migrating(request_in(dir.path()), legacy);
    ASSERT_TRUE(store.ok()) << store.error().message;
    EXPECT_TRUE(store.value()->open_report().migrated);
    EXPECT_EQ(text(store.value()->initial_bytes()), "legacy save");
    append_ok(*store.value(), "c1");
  }
  write_text(legacy, "legacy save, changed by an old version");
  auto store = open_migrating(request_in(dir.path()), legacy);
  ASSERT_TRUE(store.ok()) << store.error().message;
  EXPECT_FALSE(store.value()->open_report().migrated);
  EXPECT_EQ(text(store.value()->initial_bytes()), "legacy savec1");
  EXPECT_EQ(read_text(legacy), "legacy save, changed by an old version");
}

TEST(Persist, MigrationOnlyIntoANewStore) {
  TempDir dir;
  const fs::path legacy = dir.path() / "workspace.automerge";
  {
    auto store = open_migrating(request_in(dir.path()), legacy);  // no legacy file yet
    ASSERT_TRUE(store.ok()) << store.error().message;
    EXPECT_FALSE(store.value()->open_report().migrated);
    append_ok(*store.value(), "c1");
  }
  write_text(legacy, "legacy save");
  auto store = open_migrating(request_in(dir.path()), legacy);
  ASSERT_TRUE(store.ok());
  EXPECT_FALSE(store.value()->open_report().migrated);
  EXPECT_EQ(text(store.value()->initial_bytes()), "c1");
}

TEST(Persist, MigrationWithoutDirectoryUsesTheLegacyFilesDirectory) {
  TempDir dir;
  const fs::path legacy = dir.path() / "workspace.automerge";
  write_text(legacy, "legacy save");
  {
    auto store = open_migrating(Request{"org.kivo.Test", std::nullopt}, legacy);
    ASSERT_TRUE(store.ok()) << store.error().message;
    EXPECT_EQ(store.value()->data_dir(), dir.path());
    append_ok(*store.value(), "c1");
  }
  auto store = open_ok(request_in(dir.path()));
  EXPECT_EQ(text(store->initial_bytes()), "legacy savec1");
}

TEST(Persist, SecondOpenerInTheSameProcessIsRefused) {
  TempDir dir;
  auto first = open_ok(request_in(dir.path()));
  auto second = open(request_in(dir.path()));
  ASSERT_FALSE(second.ok());
  EXPECT_NE(second.error().message.find("already open by process " + std::to_string(::getpid())), std::string::npos)
      << second.error().message;
  first.reset();
  EXPECT_TRUE(open(request_in(dir.path())).ok());
}

TEST(Persist, SecondOpenerInAnotherProcessIsRefused) {
  TempDir dir;
  {
    auto held = open_ok(request_in(dir.path()));
    int status = run_in_child([&] {
      auto store = open(request_in(dir.path()));
      ::_exit(!store.ok() && store.error().message.find("already open") != std::string::npos ? 0 : 1);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child was not refused";
  }

  // The other way round: a child holds the store; the parent is refused until the child dies.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    auto store = open(request_in(dir.path()));
    char c = store.ok() ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  auto refused = open(request_in(dir.path()));
  EXPECT_FALSE(refused.ok());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(open(request_in(dir.path())).ok());
}

}  // namespace
}  // namespace kivo_ui::persist
