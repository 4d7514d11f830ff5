// The demonstration workspace saved by our document library loads in the reference Automerge
// implementation with the same content, heads and layout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "model/normalise.h"
#include "model/seeds.h"
#include "runtime/doc/json_view.h"

namespace chat {
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

TEST(DemoInterop, SeededDemoLoadsInTheReference) {
  ASSERT_TRUE(fs::exists(kInterop + "/node_modules/@automerge/automerge"))
      << "reference not installed: run scripts/setup (npm ci in " << kInterop << ")";
  kivo::doc::Document doc;
  {
    auto tx = doc.begin();
    seed_demo(DocWrite{doc, tx});
    tx.commit("seed", 1782471840000);
  }
  {
    auto tx = doc.begin();
    normalise_attachments(DocWrite{doc, tx});
    tx.commit("normalise");
  }
  fs::path file = fs::temp_directory_path() / ("kivo-demo-interop-" + std::to_string(getpid()) + ".automerge");
  {
    auto bytes = doc.save();
    std::ofstream f(file, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string out = run("node " + kInterop + "/ref.mjs view " + file.string());
  fs::remove(file);
  auto summary = nlohmann::json::parse(out, nullptr, false);
  ASSERT_FALSE(summary.is_discarded()) << out;

  EXPECT_EQ(summary["view"], kivo::doc::to_json(doc));
  nlohmann::json heads = nlohmann::json::array();
  for (const auto& h : doc.heads()) heads.push_back(h.hex());
  EXPECT_EQ(summary["heads"], heads);

  const auto& view = summary["view"];
  EXPECT_EQ(view["seeded"], true);
  for (const char* k : {"users", "workspaces", "categories", "channels", "messages", "voice"})
    EXPECT_TRUE(view[k].is_object()) << k;
  EXPECT_EQ(view["channels"].size(), 13u);
  EXPECT_EQ(view["users"]["u_hugo"]["status"], "dnd");
  const auto& crit = view["messages"]["c_crit"];
  ASSERT_EQ(crit.size(), 11u);
  EXPECT_EQ(crit[1]["id"], "m_concept");
  EXPECT_EQ(crit[1]["attachment"]["blob"], "kivo-demo://call-grid");
  EXPECT_EQ(crit[1]["reactions"].size(), 4u);
  EXPECT_EQ(crit[6]["history"][0]["ts"], 1782471840 + 3180);
  EXPECT_EQ(crit[10]["parent"], "m_concept");
  EXPECT_EQ(view["voice"]["c_huddle"]["u_owen"]["muted"], true);
}

}  // namespace
}  // namespace chat
