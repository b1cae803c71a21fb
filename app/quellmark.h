#pragma once
// The program's one procedure of control.

// Runs the whole program: start-up, intro, main loop, shutdown. Returns the exit status: 0 after
// a normal end, -1 when the display cannot be opened.
int RunQuellmark();
