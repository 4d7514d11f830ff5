// The commands of kivo-workspace: seed a new document, apply chat actions from a stream, show the
// hydrated model. Each answers the process exit status and writes nothing when it fails.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace chat::tool {

int seed(const std::string& which, const std::filesystem::path& path, std::ostream& out, std::ostream& err);
int apply(const std::filesystem::path& path, std::istream& in, std::ostream& out, std::ostream& err);
int show(const std::filesystem::path& path, std::ostream& out, std::ostream& err);

}  // namespace chat::tool
