// The type-code constants of idprom.h and the table of short names agree
// one to one: "pcb-serial" is IDPROM_TYPE_PCB_SERIAL, with the row's code.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "idprom.h"
#include "model/types.hpp"

TEST(TypeCodes, OneConstantPerShortName) {
  static_assert(IDPROM_TYPE_PCB_SERIAL == 0xC1);  // the text read below is the header compiled
  std::stringstream header;
  header << std::ifstream(IDPROM_PUBLIC_HEADER).rdbuf();
  const std::string text = header.str();
  const std::regex define(R"(#define (IDPROM_TYPE_\w+) +0x([0-9A-F]+)\b)");
  std::map<std::string, uint32_t> constants;
  for (std::sregex_iterator m(text.begin(), text.end(), define), end; m != end; ++m)
    constants[(*m)[1]] = static_cast<uint32_t>(std::stoul((*m)[2], nullptr, 16));
  size_t named = 0;
  for (const idprom::tool::TypeInfo &row : idprom::tool::type_table()) {
    if (row.name == nullptr) continue;
    std::string name = "IDPROM_TYPE_";
    for (const char c : std::string(row.name))
      name += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(constants.contains(name) ? constants.at(name) : 0, row.code) << name;
    ++named;
  }
  EXPECT_EQ(constants.size(), named);
}
