#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "runtime/blobs/blobstore.h"

namespace kivo_blobs {
namespace {

namespace fs = std::filesystem;

class BlobStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("kivo-blobs-test-" + std::to_string(std::random_device{}()));
    fs::remove_all(root);
  }
  void TearDown() override { fs::remove_all(root); }

  FsBlobStore make(BlobStoreLimits limits = {}) { return FsBlobStore(FsBlobStoreConfig{root, limits}); }
  size_t files_under_root() {
    size_t n = 0;
    for (auto& e : fs::recursive_directory_iterator(root))
      if (e.is_regular_file()) ++n;
    return n;
  }
  fs::path root;
};

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST_F(BlobStoreTest, PutGetByContentHash) {
  auto store = make();
  auto id = store.put(bytes_of("abc"));
  ASSERT_TRUE(id.ok()) << id.error().message;
  EXPECT_EQ(*id, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");  // SHA-256("abc")
  EXPECT_TRUE(store.has(*id));
  EXPECT_EQ(store.get(*id), bytes_of("abc"));
  EXPECT_TRUE(fs::exists(root / "ba" / *id));

  // A second store over the same root reads it back from disk, also by an upper-case id.
  auto again = make();
  std::string upper = *id;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(again.get(upper), bytes_of("abc"));
  EXPECT_EQ(files_under_root(), 1u);  // no temporary file left behind

  // Putting the same bytes again keeps one copy; empty content is a valid blob.
  EXPECT_EQ(*store.put(bytes_of("abc")), *id);
  EXPECT_TRUE(store.put(Bytes{}).ok());
}

TEST_F(BlobStoreTest, DamagedFileReadsAsNothingAndIsRepairedByPut) {
  std::string id;
  {
    auto store = make();
    id = *store.put(bytes_of("original bytes"));
  }
  std::ofstream(root / id.substr(0, 2) / id, std::ios::binary | std::ios::trunc) << "tampered bytes";
  auto store = make();
  EXPECT_FALSE(store.get(id).has_value());
  EXPECT_FALSE(store.has(id));
  ASSERT_TRUE(store.put(bytes_of("original bytes")).ok());
  auto fresh = make();
  EXPECT_EQ(fresh.get(id), bytes_of("original bytes"));
}

TEST_F(BlobStoreTest, RefusesOversizedAndMismatchedBlobs) {
  auto store = make(BlobStoreLimits{.max_blob_bytes = 16});
  EXPECT_TRUE(store.put(Bytes(16, 'x')).ok());
  auto refused = store.put(Bytes(17, 'x'));
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().message.find("exceeds"), std::string::npos);

  auto id = blob_id_for(bytes_of("right"));
  EXPECT_TRUE(store.put_checked(id, bytes_of("right")).ok());
  EXPECT_FALSE(store.put_checked(id, bytes_of("wrong")).ok());
  EXPECT_FALSE(store.put_checked("../../etc/passwd", bytes_of("x")).ok());
  EXPECT_FALSE(store.get("../../etc/passwd").has_value());
  EXPECT_EQ(store.get(id), bytes_of("right"));
}

TEST_F(BlobStoreTest, MemoryCacheIsBounded) {
  auto store = make(BlobStoreLimits{.max_cache_bytes = 10, .max_cache_entries = 2});
  std::vector<std::string> ids;
  for (int i = 0; i < 5; ++i) ids.push_back(*store.put(bytes_of("blob-" + std::to_string(i))));
  // Everything still reads back from disk even though the cache holds at most two.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(store.get(ids[i]), bytes_of("blob-" + std::to_string(i)));
}

TEST_F(BlobStoreTest, EvictUnreferenced) {
  auto store = make();
  auto keep = *store.put(bytes_of("keep"));
  auto drop = *store.put(bytes_of("drop"));
  std::ofstream(root / "ab" / ".tmp-leftover") << "partial";  // a crashed write
  auto removed = store.evict_unreferenced({keep});
  ASSERT_TRUE(removed.ok());
  EXPECT_EQ(*removed, 1u);
  EXPECT_TRUE(store.has(keep));
  EXPECT_FALSE(store.has(drop));
  EXPECT_FALSE(fs::exists(root / "ab" / ".tmp-leftover"));
}

TEST_F(BlobStoreTest, ModuleFunctionsAndDisplayStates) {
  blobstore::set_store(nullptr);
  EXPECT_FALSE(blobstore::put(bytes_of("x")).ok());
  EXPECT_EQ(blobstore::state(std::string(64, 'a')), blobstore::BlobDisplayState::Unavailable);

  auto store = std::make_shared<FsBlobStore>(FsBlobStoreConfig{root, {}});
  blobstore::set_store(store);
  auto id = *blobstore::put(bytes_of("picture"));
  EXPECT_EQ(blobstore::get(id), bytes_of("picture"));
  EXPECT_EQ(blobstore::state(id), blobstore::BlobDisplayState::Decoding);
  std::string missing = blob_id_for(bytes_of("elsewhere"));
  EXPECT_EQ(blobstore::state(missing), blobstore::BlobDisplayState::Unavailable);
  store->note_awaited(missing);
  EXPECT_EQ(blobstore::state(missing), blobstore::BlobDisplayState::Loading);
  EXPECT_EQ(blobstore::state("kivo-demo://call-grid"), blobstore::BlobDisplayState::Unavailable);
  EXPECT_STREQ(blobstore::display_text(blobstore::BlobDisplayState::Loading), "Loading shared image…");
  blobstore::set_store(nullptr);
}

TEST_F(BlobStoreTest, DefaultRootFollowsXdg) {
  const char* old_xdg = std::getenv("XDG_DATA_HOME");
  std::string saved = old_xdg ? old_xdg : "";
  setenv("XDG_DATA_HOME", "/data/x", 1);
  EXPECT_EQ(FsBlobStore::default_root(), fs::path("/data/x/kivo/blobs"));
  setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_NE(FsBlobStore::default_root(), fs::path("relative/kivo/blobs"));
  if (old_xdg)
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace kivo_blobs
