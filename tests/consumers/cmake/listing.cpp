// Prints the field listing of an IDPROM image file.
#include <idprom.hpp>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " IMAGE\n";
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  const std::vector<uint8_t> image(std::istreambuf_iterator<char>(file), {});
  const idprom::ImageView view(image);
  std::cout << view.listing() << '\n';
}
