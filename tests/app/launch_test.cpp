#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <map>

#include "app/data_dir.h"
#include "app/launch_descriptor.h"
#include "runtime/ui/command_line.h"

namespace chat {
namespace {

EnvLookup env_of(std::map<std::string, std::string> vars) {
  return [vars](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(DataDir, FirstMatchingRuleWins) {
  BaseDirs dirs{.data_dir = "/home/a/.local/share", .home_dir = "/home/a"};
  EXPECT_EQ(chat_data_dir(env_of({{"KIVO_CHAT_DATA", "/srv/chat"}}), dirs), std::filesystem::path("/srv/chat"));
  EXPECT_EQ(chat_data_dir(env_of({{"KIVO_CHAT_DATA", ""}}), dirs), std::filesystem::path(""));  // set, even empty
  EXPECT_EQ(chat_data_dir(env_of({}), dirs), std::filesystem::path("/home/a/.local/share/kivo-chat"));
  EXPECT_EQ(chat_data_dir(env_of({}), BaseDirs{.home_dir = "/home/b"}),
            std::filesystem::path("/home/b/.local/share/kivo-chat"));
  EXPECT_EQ(chat_data_dir(env_of({}), BaseDirs{}), std::nullopt);
}

TEST(DataDir, BaseDirsFollowXdgRules) {
  auto dirs = base_dirs(env_of({{"HOME", "/home/c"}, {"XDG_DATA_HOME", "/xdg"}}));
  EXPECT_EQ(dirs.data_dir, std::filesystem::path("/xdg"));
  EXPECT_EQ(dirs.home_dir, std::filesystem::path("/home/c"));
  dirs = base_dirs(env_of({{"HOME", "/home/c"}, {"XDG_DATA_HOME", "relative/path"}}));
  EXPECT_EQ(dirs.data_dir, std::filesystem::path("/home/c/.local/share"));
}

TEST(Persistence, MigratesFromTheDataDirectorysLegacyFile) {
  auto dir = std::filesystem::temp_directory_path() / ("kivo-app-persist-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  { std::ofstream(dir / "workspace.automerge", std::ios::binary) << "legacy document bytes"; }
  kivo_ui::persist::Request request{std::string(kAppId), dir};
  {
    auto store = open_persistence_in(request, dir);
    ASSERT_TRUE(store.ok()) << store.error().message;
    EXPECT_TRUE((*store)->open_report().migrated);
    EXPECT_EQ((*store)->initial_snapshot().size(), std::string("legacy document bytes").size());
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "workspace.automerge"));  // left in place
  {
    auto again = open_persistence_in(request, dir);
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE((*again)->open_report().migrated);  // only once
  }
  auto in_memory = open_persistence_in(kivo_ui::persist::Request{std::string(kAppId), std::nullopt}, std::nullopt);
  ASSERT_TRUE(in_memory.ok());
  EXPECT_FALSE((*in_memory)->data_dir());
  std::filesystem::remove_all(dir);
}

TEST(Launch, DescriptorCarriesTheFixedValues) {
  auto d = make_launch_descriptor();
  EXPECT_EQ(d.app_id.size(), 12u);
  ASSERT_EQ(d.screenshot_scenarios.size(), 21u);
  EXPECT_EQ(d.screenshot_scenarios[12], "edit");
  EXPECT_EQ(d.screenshot_scenarios[13], "composer");
  EXPECT_EQ(d.screenshot_scenarios[14], "call");
  EXPECT_EQ(d.default_window_size(), (kivo_ui::Size{1280, 800}));
  EXPECT_EQ(d.max_windows(), 1);
  EXPECT_TRUE(d.extra_font_files.empty() && d.required_permissions.empty() && d.url_schemes.empty() &&
              d.startup_actions.empty());
  EXPECT_FALSE(d.start_hidden);
  EXPECT_FALSE(d.transparent_window);
  EXPECT_TRUE(d.resizable);
  EXPECT_TRUE(d.decorated);
  auto app = d.create_app();
  EXPECT_EQ(app->widget_name(), "ChatApp");
}

TEST(Launch, ScreenshotWithoutOutputIsRefused) {
  auto status = make_launch_descriptor().render_screenshot(kivo_ui::launch::ScreenshotRequest{});
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message, "missing screenshot output");
}

TEST(CommandLine, Parses) {
  using namespace kivo_ui::launch;
  auto shot = parse_command_line({"--screenshot", "edit", "--output", "/tmp/x.png", "--size", "600x400"});
  ASSERT_TRUE(shot.ok());
  auto& s = std::get<TakeScreenshot>(shot.value());
  EXPECT_EQ(s.name, "edit");
  EXPECT_EQ(s.output, "/tmp/x.png");
  EXPECT_EQ(s.size, std::make_pair(600, 400));
  EXPECT_TRUE(std::holds_alternative<OpenWindow>(parse_command_line({}).value()));
  EXPECT_TRUE(std::holds_alternative<ListScreenshots>(parse_command_line({"--list-screenshots"}).value()));
  for (auto bad : {"600", "x400", "600x", "0x400", "600x400x2", "-5x5", "99999x5", " 600x400"})
    EXPECT_FALSE(parse_size(bad)) << bad;
  EXPECT_FALSE(parse_command_line({"--screenshot", "a", "--theme", "neon"}).ok());
}

}  // namespace
}  // namespace chat
