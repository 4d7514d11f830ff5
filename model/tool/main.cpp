// kivo-workspace: seed, change and show workspace documents.
//   kivo-workspace seed demo|home PATH   writes a new seeded document
//   kivo-workspace apply PATH            applies chat actions read from stdin, one JSON per line
//   kivo-workspace show PATH             prints the hydrated model as one JSON object
#include <iostream>
#include <string>

#include "model/tool/workspace_tool.h"

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "seed" && argc == 4) return chat::tool::seed(argv[2], argv[3], std::cout, std::cerr);
  if (command == "apply" && argc == 3) return chat::tool::apply(argv[2], std::cin, std::cout, std::cerr);
  if (command == "show" && argc == 3) return chat::tool::show(argv[2], std::cout, std::cerr);
  std::cerr << "usage: kivo-workspace seed demo|home PATH | apply PATH | show PATH\n";
  return 2;
}
