#pragma once
// The program's one procedure of control and its phases.

// Runs the whole program: start-up, intro, main loop, shutdown. Returns the exit status: 0 after
// a normal end, -1 when the display cannot be opened.
int RunQuellmark();

// Phases, in the order RunQuellmark calls them.
void StartUp();           // fills tables and builds everything drawn later (before the display)
void RunIntro();          // drain held input, opening flashes, intro loop, closing flashes
void RunMainLoop();       // the reader's loop, until Escape or Exit
void ComposePageFrame();  // one page frame without scrollbar and pointer (also for transitions)
void PollInput();         // the mouse copy and the page keys, once per frame after presenting
