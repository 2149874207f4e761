// Writes the generated corpus of the route-quality report as description files.
//
//   route_corpus OUT_DIR [--seeds N] [--first S] [--shapes K] [--notation]
//
// OUT_DIR receives corpus-S.yaml for the seeds S, S+1, ... (default: 300 seeds from 1), each
// of its own size or, with --shapes, of about K shapes; with --notation, notation-S.yaml: the
// same diagrams with boundary events, text annotations and groups added.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "corpus.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: route_corpus OUT_DIR [--seeds N] [--first S] [--shapes K] [--notation]\n";
    return 2;
  }
  const std::filesystem::path out = argv[1];
  int seeds = 300;
  int first = 1;
  int shapes = 0;
  orvane::bench::CorpusOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--notation") {
      options.notation = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::cerr << "route_corpus: " << flag << " needs a value\n";
      return 2;
    }
    const int value = std::stoi(argv[++i]);
    if (flag == "--seeds") {
      seeds = value;
    } else if (flag == "--first") {
      first = value;
    } else if (flag == "--shapes") {
      shapes = value;
    } else {
      std::cerr << "route_corpus: unknown option " << flag << "\n";
      return 2;
    }
  }
  std::filesystem::create_directories(out);
  const std::string prefix = options.notation ? "notation-" : "corpus-";
  for (int s = first; s < first + seeds; ++s) {
    const auto diagram =
        orvane::bench::generate_diagram(static_cast<std::uint32_t>(s), options, shapes);
    std::ofstream(out / (prefix + std::to_string(s) + ".yaml"))
        << orvane::bench::to_description(diagram);
  }
  return 0;
}
