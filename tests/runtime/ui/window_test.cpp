// Window tests: a real SDL window under a virtual X server, driven by xdotool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool have(const char* program) {
  std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string read(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct WindowTest : ::testing::Test {
  std::filesystem::path dir;
  void SetUp() override {
    if (!have("xvfb-run") || !have("xdotool")) GTEST_SKIP() << "xvfb-run or xdotool is not installed";
    dir = std::filesystem::temp_directory_path() /
          ("kivo-ui-window-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  int probe(const std::string& mode) {
    std::string cmd = "xvfb-run -a -s '-screen 0 1280x1024x24' bash '" KIVO_UI_WINDOW_SCRIPT "' '" KIVO_UI_DEMO_BINARY
                      "' " + mode + " '" + dir.string() + "'";
    return std::system(cmd.c_str());
  }
};

}  // namespace

TEST_F(WindowTest, TypedTextReachesTheTextInput) {
  ASSERT_EQ(probe("type"), 0) << read(dir / "demo.log");
  EXPECT_EQ(read(dir / "text"), "hello kivo");
}

TEST_F(WindowTest, IdleWindowDrawsNoFrames) {
  ASSERT_EQ(probe("idle"), 0) << read(dir / "demo.log");
  std::string before = read(dir / "before"), after = read(dir / "after");
  ASSERT_FALSE(before.empty());
  EXPECT_GT(std::stoll(before), 0);
  EXPECT_EQ(before, after);  // no frame in two seconds without input
}
