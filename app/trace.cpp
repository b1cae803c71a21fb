#include "app/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void TracePhase(const char* what, int number) {
  const char* trace = std::getenv("QUELLMARK_TRACE");
  if (trace == nullptr || std::strcmp(trace, "1") != 0) return;
  if (number > 0) {
    std::fprintf(stderr, "phase %s %d\n", what, number);
  } else {
    std::fprintf(stderr, "phase %s\n", what);
  }
  std::fflush(stderr);
}
