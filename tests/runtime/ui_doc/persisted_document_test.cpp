#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>

#include "runtime/ui/persisted_document.h"

namespace kivo_ui::doc {
namespace {

namespace fs = std::filesystem;
using kivo::doc::ObjId;

class PersistedDocumentTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kivo-pdoc-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::unique_ptr<PersistedDocument> open(size_t compact_after_records = 4096) {
    persist::Request request{"chat.kivo.ui", dir};
    request.compact_after_records = compact_after_records;
    auto store = persist::open(request);
    EXPECT_TRUE(store.ok()) << store.error().message;
    auto doc = PersistedDocument::open(*store);
    EXPECT_TRUE(doc.ok()) << doc.error().message;
    return std::move(doc).value();
  }

  static void put(DocumentTarget& target, const std::string& key, const std::string& value) {
    target.begin_transaction();
    ASSERT_TRUE(target.transaction().put(kivo::doc::ROOT, key, value).ok());
    ASSERT_TRUE(target.commit_transaction("put " + key, 1782471840).ok());
  }

  static std::string read(const DocumentTarget& target, const std::string& key) {
    auto v = target.document().get(kivo::doc::ROOT, key);
    return v && v->as_string() ? *v->as_string() : "";
  }

  fs::path dir;
};

TEST_F(PersistedDocumentTest, CommittedChangesSurviveReopenAndCompaction) {
  std::vector<std::string> heads;
  {
    auto doc = open(/*compact_after_records=*/3);
    for (int i = 0; i < 10; ++i) put(*doc, "k" + std::to_string(i), "v" + std::to_string(i));
    doc->begin_transaction();
    ASSERT_TRUE(doc->commit_transaction("empty", 0).ok());  // an empty transaction records nothing
    heads = doc->heads();
    EXPECT_LT(doc->store()->log_records(), 3u);              // the log was folded into a snapshot
  }
  auto again = open();
  EXPECT_EQ(again->heads(), heads);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(read(*again, "k" + std::to_string(i)), "v" + std::to_string(i));
}

TEST_F(PersistedDocumentTest, ChangeIsDurableWhenTheProcessIsKilled) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    persist::Request request{"chat.kivo.ui", dir};
    auto store = persist::open(request);
    auto doc = PersistedDocument::open(*store);
    auto& d = **doc;
    d.begin_transaction();
    (void)d.transaction().put(kivo::doc::ROOT, "greeting", std::string("hello"));
    (void)d.commit_transaction("put", 1);
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  auto doc = open();
  EXPECT_EQ(read(*doc, "greeting"), "hello");
}

TEST_F(PersistedDocumentTest, StoreThatDoesNotLoadIsRefusedAndKept) {
  fs::create_directories(dir / "legacy");
  std::ofstream(dir / "legacy" / "workspace.automerge") << "this is not a document";
  persist::Request request{"chat.kivo.ui", std::nullopt};
  auto store = persist::open_migrating(request, dir / "legacy" / "workspace.automerge");
  ASSERT_TRUE(store.ok());
  auto doc = PersistedDocument::open(*store);
  ASSERT_FALSE(doc.ok());
  EXPECT_NE(doc.error().message.find("does not load"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "legacy" / "workspace.automerge"));
}

TEST_F(PersistedDocumentTest, RollbackLeavesNothing) {
  auto doc = open();
  doc->begin_transaction();
  ASSERT_TRUE(doc->transaction().put(kivo::doc::ROOT, "x", std::string("y")).ok());
  doc->rollback_transaction();
  EXPECT_TRUE(doc->heads().empty());
  EXPECT_EQ(read(*doc, "x"), "");
  EXPECT_EQ(doc->store()->log_records(), 0u);
}

}  // namespace
}  // namespace kivo_ui::doc
