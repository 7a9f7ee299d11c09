// SPDX-License-Identifier: Apache-2.0
// quorlin-bench-text LINES PATH: writes the benchmarks' generated text, the
// same bytes quorlin-bench makes, for benchmarks written as scripts.
#include <cstdlib>
#include <iostream>

#include "bench/GeneratedText.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::atol(argv[1]) <= 0) {
    std::cerr << "usage: quorlin-bench-text LINES PATH\n";
    return 2;
  }
  quorlin::bench::Generate(argv[2], std::atol(argv[1]));
  return 0;
}
