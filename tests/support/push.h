#pragma once
// Queues one input event on the headless display's script, as a script line "FRAME COMMAND A B"
// would, for tests that drive the program while it runs.
#include <string>

#include "display/headless.h"

inline void Push(int frame, const std::string& command, int a = 0, int b = 0) {
  HeadlessEvent e;
  e.frame = frame;
  e.command = command;
  e.a = a;
  e.b = b;
  Headless.Script.push_back(e);
}
