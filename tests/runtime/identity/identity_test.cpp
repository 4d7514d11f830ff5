#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>

#include "runtime/identity/identity.h"

namespace kivo_identity {
namespace {

namespace fs = std::filesystem;

class IdentityTest : public ::testing::Test {
protected:
  void SetUp() override { dir = fs::temp_directory_path() / ("kivo-id-" + std::to_string(std::random_device{}())); }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(IdentityTest, CreatedOnceThenStable) {
  auto path = dir / "kivo" / "identity";
  auto first = unix::load_from(path);
  ASSERT_TRUE(first.ok()) << first.error().message;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  auto second = unix::load_from(path);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(first->public_key, second->public_key);
  EXPECT_TRUE(second->display_name.empty());

  ASSERT_TRUE(unix::save_display_name(path, "Ada\nLovelace").ok());
  auto named = unix::load_from(path);
  EXPECT_EQ(named->display_name, "Ada Lovelace");
  EXPECT_EQ(named->public_key, first->public_key);
}

TEST_F(IdentityTest, DamagedFileIsAnErrorAndIsKept) {
  fs::create_directories(dir);
  auto path = dir / "identity";
  for (const std::string& content : std::vector<std::string>{"garbage", "kivo-identity 1\nsecret 00\n", "kivo-identity 1\nname x\n",
                              "kivo-identity 1\nsecret " + std::string(128, 'a') + "\n"}) {
    std::ofstream(path) << content;
    auto loaded = unix::load_from(path);
    EXPECT_FALSE(loaded.ok()) << content;
    std::ifstream in(path);
    std::string back((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(back, content) << "a damaged identity must not be overwritten";
  }
}

}  // namespace
}  // namespace kivo_identity
