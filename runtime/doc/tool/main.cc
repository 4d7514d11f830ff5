// kivo-doc: looks into a workspace document file (dump, heads, changes) and merges or
// compacts such files.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "runtime/doc/document.h"
#include "runtime/doc/json_view.h"

using namespace kivo;
using namespace kivo::doc;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: kivo-doc dump FILE | heads FILE | changes FILE | merge A B ... -o OUT | compact FILE -o OUT\n");
  return 2;
}

int fail(const std::string& what, const std::string& message) {
  std::fprintf(stderr, "kivo-doc: %s: %s\n", what.c_str(), message.c_str());
  return 1;
}

Result<Document> load_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return make_error("cannot open file");
  Bytes bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (f.bad()) return make_error("cannot read file");
  if (bytes.empty()) return make_error("empty file, not an Automerge document");
  return Document::load(bytes);
}

bool write_file(const std::string& path, const Bytes& bytes) {
  std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f.good()) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  std::string cmd = args[0];
  std::vector<std::string> inputs;
  std::string out;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return usage();
      out = args[++i];
    } else {
      inputs.push_back(args[i]);
    }
  }
  if (cmd == "dump" || cmd == "heads" || cmd == "changes") {
    if (inputs.size() != 1 || !out.empty()) return usage();
    auto doc = load_file(inputs[0]);
    if (!doc.ok()) return fail(inputs[0], doc.error().message);
    if (cmd == "dump") {
      std::cout << to_json(*doc).dump(2) << "\n";
    } else if (cmd == "heads") {
      for (const auto& h : doc->heads()) std::cout << h.hex() << "\n";
    } else {
      for (const auto& c : doc->changes()) {
        std::cout << c.hash.hex() << " actor=" << to_hex(c.actor) << " seq=" << c.seq << " time=" << c.time
                  << " deps=";
        for (size_t i = 0; i < c.deps.size(); ++i) std::cout << (i ? "," : "") << c.deps[i].hex();
        if (!c.message.empty()) std::cout << " message=" << nlohmann::json(c.message).dump();
        std::cout << "\n";
      }
    }
    return 0;
  }
  if (cmd == "merge" || cmd == "compact") {
    if (out.empty() || inputs.empty() || (cmd == "compact" && inputs.size() != 1) ||
        (cmd == "merge" && inputs.size() < 2))
      return usage();
    auto first = load_file(inputs[0]);
    if (!first.ok()) return fail(inputs[0], first.error().message);
    Document doc = std::move(first).value();
    for (size_t i = 1; i < inputs.size(); ++i) {
      auto other = load_file(inputs[i]);
      if (!other.ok()) return fail(inputs[i], other.error().message);
      auto st = doc.merge(*other);
      if (!st.ok()) return fail(inputs[i], st.error().message);
    }
    if (!write_file(out, doc.save())) return fail(out, "cannot write file");
    return 0;
  }
  return usage();
}
