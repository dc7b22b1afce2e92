#include <iostream>

#include "tools/registry_tool/dwreg.h"

int main(int argc, char** argv) {
  return tools::RunDwreg(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
