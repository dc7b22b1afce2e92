#include <iostream>

#include "tools/devmgr/devmgr.h"

int main(int argc, char** argv) {
  return tools::RunDevmgr(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
