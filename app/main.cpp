#include "app/quellmark.h"
#include "display/display.h"

int main() {
  EndProcess(RunQuellmark());
}
