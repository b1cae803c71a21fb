// quellmark-export DIR
#include <iostream>

#include "tools/export/export.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: quellmark-export DIR\n";
    return 2;
  }
  std::string error;
  if (!ExportIssue(argv[1], error)) {
    std::cerr << "quellmark-export: " << error << "\n";
    return 1;
  }
  return 0;
}
