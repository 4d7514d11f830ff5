#include <set>
#include <string>

#include <gtest/gtest.h>

#include "runtime/ui/permissions.h"
#include "runtime/ui/presence.h"

namespace kivo_ui {
namespace {

using permissions::PermissionContext;
using permissions::PermissionKind;

constexpr PermissionKind kAllKinds[] = {
    PermissionKind::Files,         PermissionKind::Camera,        PermissionKind::Microphone,
    PermissionKind::ScreenCapture, PermissionKind::Network,       PermissionKind::WriteDocument,
    PermissionKind::Clipboard,     PermissionKind::Notifications,
};

TEST(Permissions, PermissiveGrantsEveryKindAndRestrictiveNone) {
  static_assert(std::size(kAllKinds) == permissions::kPermissionKindCount);
  std::set<std::string_view> names;
  for (PermissionKind kind : kAllKinds) {
    SCOPED_TRACE(std::string(permissions::permission_name(kind)));
    names.insert(permissions::permission_name(kind));
    EXPECT_TRUE(PermissionContext::permissive().check(kind));
    EXPECT_FALSE(PermissionContext::restrictive().check(kind));
    EXPECT_FALSE(PermissionContext{}.check(kind));  // nothing is granted by accident
  }
  EXPECT_EQ(names.size(), std::size(kAllKinds));
}

TEST(Permissions, SingleGrantsAndRefusals) {
  auto only_files = PermissionContext::restrictive().allow(PermissionKind::Files);
  for (PermissionKind kind : kAllKinds) EXPECT_EQ(only_files.check(kind), kind == PermissionKind::Files);

  auto no_camera = PermissionContext::permissive().deny(PermissionKind::Camera);
  EXPECT_FALSE(no_camera.check(PermissionKind::Camera));
  EXPECT_TRUE(no_camera.check(PermissionKind::Microphone));
  auto refused = no_camera.require(PermissionKind::Camera);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().message, "permission refused: camera");
  EXPECT_TRUE(no_camera.require(PermissionKind::ScreenCapture).ok());
}

TEST(Presence, UserColourIsStableAndFollowsTheFnvIndex) {
  // 64-bit FNV-1a reference values: "" -> cbf29ce484222325, "a" -> af63dc4c8601ec8c.
  EXPECT_EQ(presence::color_index_for(""), 0x25u & 7u);
  EXPECT_EQ(presence::color_index_for("a"), 0x8cu & 7u);
  for (std::string id : {"u_me", "u_0123456789abcdef", "u_ada", ""}) {
    EXPECT_EQ(presence::user_color(id), presence::user_color(id));
    EXPECT_EQ(presence::user_color(id), presence::user_color(presence::color_index_for(id)));
  }
  EXPECT_EQ(presence::user_color(9u), presence::user_color(1u));  // indices wrap around
}

TEST(Presence, ColoursSpreadOverThePalette) {
  std::set<uint32_t> used;
  for (int i = 0; i < 200; ++i) used.insert(presence::color_index_for("u_" + std::to_string(i)));
  EXPECT_EQ(used.size(), presence::kPaletteSize);
  std::set<std::tuple<float, float, float>> distinct;
  for (const Color& c : presence::palette()) {
    distinct.insert({c.r, c.g, c.b});
    EXPECT_EQ(c.a, 1.f);
  }
  EXPECT_EQ(distinct.size(), presence::kPaletteSize);
}

TEST(Presence, ContextAnswersPeerColoursAndTheLocalName) {
  PresenceCtx ctx;
  ctx.local_peer_id = "u_self";
  ctx.peers = {{"u_chosen", "Ada", Color::rgb(0x123456)}, {"u_plain", "Bob", std::nullopt}};
  EXPECT_EQ(ctx.color_for("u_chosen"), Color::rgb(0x123456));
  EXPECT_EQ(ctx.color_for("u_plain"), presence::user_color("u_plain"));
  EXPECT_EQ(ctx.color_for("u_unknown"), presence::user_color("u_unknown"));
  ASSERT_NE(ctx.peer("u_plain"), nullptr);
  EXPECT_EQ(ctx.peer("u_plain")->display_name, "Bob");
  EXPECT_EQ(ctx.peer("u_nobody"), nullptr);

  const std::pair<const char*, std::optional<std::string>> names[] = {
      {"", std::nullopt}, {" \t\n", std::nullopt}, {"  Ada Lovelace \n", "Ada Lovelace"}, {"Bob", "Bob"}};
  for (const auto& [raw, expected] : names) {
    ctx.local_name = raw;
    EXPECT_EQ(ctx.self_name(), expected) << '"' << raw << '"';
  }
}

}  // namespace
}  // namespace kivo_ui
