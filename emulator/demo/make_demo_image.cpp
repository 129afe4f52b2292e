// Writes the demo's sample firmware image: a short header, then a fixed pseudo-random body.
// The same arguments always give the same bytes.
//   make_demo_image OUTPUT SIZE
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::cerr << "usage: make_demo_image OUTPUT SIZE\n";
    return 2;
  }
  const unsigned long size = std::strtoul(argv[2], nullptr, 10);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  if (!out) {
    std::cerr << "make_demo_image: cannot write " << argv[1] << '\n';
    return 1;
  }
  const std::string header = "DALVORN DEMO FIRMWARE 1.03";
  std::uint32_t state = 0x1209D00Du;
  for (unsigned long i = 0; i < size; ++i) {
    char byte = 0;
    if (i < header.size()) {
      byte = header[i];
    } else {
      state = state * 1664525u + 1013904223u;  // a plain linear congruential sequence
      byte = static_cast<char>(state >> 24);
    }
    out.put(byte);
  }
  return out ? 0 : 1;
}
