// Prints the field listing of an IDPROM image file.
#include <idprom.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
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
  std::string text(65536, '\0');
  idprom_print_all_fields_to_buf(image.data(), static_cast<uint32_t>(image.size()), text.data(),
                                 static_cast<uint32_t>(text.size()));
  std::cout << text.c_str() << '\n';
}
