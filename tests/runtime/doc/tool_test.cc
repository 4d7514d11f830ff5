// kivo-doc: output of each command, and a one-line error with status 1 on bad files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "runtime/doc/document.h"
#include "runtime/doc/json_view.h"
#include "tests/runtime/doc/scenarios.h"

namespace kivo::doc {
namespace {

namespace fs = std::filesystem;

struct Run {
  int status;
  std::string out;
};

Run run(const std::string& args) {
  std::string cmd = std::string(KIVO_DOC_TOOL) + " " + args;
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  return {WEXITSTATUS(st), out};
}

class Tool : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kivo-doc-tool-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string write(const std::string& name, const Bytes& b) {
    auto p = dir / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return p.string();
  }
  fs::path dir;
};

TEST_F(Tool, DumpHeadsChanges) {
  Document d = test::chat_scenario();
  std::string f = write("chat.automerge", d.save());
  auto dump = run("dump " + f);
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(nlohmann::json::parse(dump.out), to_json(d));
  auto heads = run("heads " + f);
  EXPECT_EQ(heads.out, d.heads()[0].hex() + "\n");
  auto changes = run("changes " + f);
  EXPECT_EQ(std::count(changes.out.begin(), changes.out.end(), '\n'), 5);
  EXPECT_NE(changes.out.find("actor=aa01 seq=1 time=1000 deps= message=\"init\""), std::string::npos);
}

TEST_F(Tool, MergeAndCompact) {
  Document a = test::chat_scenario();
  Document b = test::conflicts_scenario();
  std::string fa = write("a", a.save()), fb = write("b", b.save()), out = (dir / "out").string();
  EXPECT_EQ(run("merge " + fa + " " + fb + " -o " + out).status, 0);
  Document m = a.clone();
  ASSERT_TRUE(m.merge(b).ok());
  EXPECT_EQ(nlohmann::json::parse(run("dump " + out).out), to_json(m));
  Bytes inc = a.save();
  for (const auto& c : a.get_changes({})) inc.insert(inc.end(), c.begin(), c.end());
  std::string fi = write("inc", inc), fc = (dir / "compact").string();
  EXPECT_EQ(run("compact " + fi + " -o " + fc).status, 0);
  EXPECT_EQ(fs::file_size(fc), a.save().size());
}

TEST_F(Tool, BadFilesGiveOneLineError) {
  Bytes good = test::chat_scenario().save();
  Bytes truncated(good.begin(), good.begin() + good.size() / 2);
  Bytes flipped = good;
  flipped[good.size() / 2] ^= 1;
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{
           {"empty", {}}, {"text", Bytes{'h', 'i', '\n'}}, {"truncated", truncated}, {"flipped", flipped}}) {
    std::string f = write(name, bytes);
    auto r = run("dump " + f + " 2>&1");
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(r.out.rfind("kivo-doc: ", 0), 0u) << r.out;
  }
  EXPECT_EQ(run("dump " + (dir / "missing").string() + " 2>&1").status, 1);
}

}  // namespace
}  // namespace kivo::doc
