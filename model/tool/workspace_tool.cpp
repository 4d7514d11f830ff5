#include "model/tool/workspace_tool.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include "model/chat_action_registration.h"
#include "model/doc_action_target.h"
#include "model/model_json.h"
#include "model/normalise.h"
#include "model/seeds.h"
#include "runtime/actions/action_transport.h"
#include "runtime/actions/executor.h"
#include "runtime/actions/strict_json.h"

namespace chat::tool {
namespace fs = std::filesystem;

namespace {

kivo::Result<kivo::doc::Document> load_workspace(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return kivo::make_error("cannot read " + path.string());
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto doc = kivo::doc::Document::load(bytes);
  if (!doc.ok() || bytes.empty())
    return kivo::make_error(path.string() + " is not a workspace document" +
                            (doc.ok() ? std::string() : ": " + doc.error().message));
  if (!is_seeded(doc.value())) return kivo::make_error(path.string() + " is not a workspace document: never seeded");
  return std::move(doc).value();
}

// Writes beside the target and renames over it, so a failed write leaves the old file as it was.
kivo::Status save_workspace(const kivo::doc::Document& doc, const fs::path& path) {
  auto bytes = doc.save();
  fs::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    if (!file) return kivo::make_error("cannot write " + tmp.string());
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) return kivo::make_error("cannot write " + tmp.string());
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) {
    fs::remove(tmp, ec);
    return kivo::make_error("cannot write " + path.string());
  }
  return {};
}

}  // namespace

int seed(const std::string& which, const fs::path& path, std::ostream& out, std::ostream& err) {
  if (which != "demo" && which != "home") {
    err << "error: unknown seed \"" << which << "\" (demo or home)\n";
    return 2;
  }
  if (fs::exists(path)) {
    err << "error: " << path.string() << " already exists\n";
    return 1;
  }
  kivo::doc::Document doc;
  {
    auto tx = doc.begin();
    DocWrite w{doc, tx};
    if (which == "demo") seed_demo(w);
    else seed_home(w, default_local_person());
    tx.commit("seed");
  }
  {
    auto tx = doc.begin();
    DocWrite w{doc, tx};
    normalise_attachments(w);
    tx.commit("normalise attachments");
  }
  if (auto saved = save_workspace(doc, path); !saved.ok()) {
    err << "error: " << saved.error().message << "\n";
    return 1;
  }
  out << "seeded " << which << " workspace in " << path.string() << "\n";
  return 0;
}

int apply(const fs::path& path, std::istream& in, std::ostream& out, std::ostream& err) {
  auto loaded = load_workspace(path);
  if (!loaded.ok()) {
    err << "error: " << loaded.error().message << "\n";
    return 1;
  }
  kivo::doc::Document doc = std::move(loaded).value();
  kivo_actions::TypedActionRegistry registry;
  register_chat_action(registry);
  DocActionTarget target(doc);
  kivo_actions::LocalTransport transport;
  bool changed = false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    auto payload = kivo_actions::parse_strict_json(line);
    if (!payload.ok()) {
      out << "error: invalid chat action JSON: " << payload.error().message << "\n";
      continue;
    }
    kivo_actions::EncodedAction action{std::string(kChatActionName), std::move(payload).value(),
                                       kivo_actions::OperationType::Document};
    auto outcome = kivo_actions::executor::dispatch_by(registry, target, transport, action);
    if (!outcome.ok()) {
      out << "error: " << outcome.error().display() << "\n";
      continue;
    }
    changed |= outcome.value().changed;
    out << (outcome.value().changed ? "applied" : "no change") << "\n";
  }
  if (changed) {
    if (auto saved = save_workspace(doc, path); !saved.ok()) {
      err << "error: " << saved.error().message << "\n";
      return 1;
    }
  }
  return 0;
}

int show(const fs::path& path, std::ostream& out, std::ostream& err) {
  auto loaded = load_workspace(path);
  if (!loaded.ok()) {
    err << "error: " << loaded.error().message << "\n";
    return 1;
  }
  out << model_json(loaded.value()).dump() << "\n";
  return 0;
}

}  // namespace chat::tool
