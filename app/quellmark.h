#pragma once
// The program's one procedure of control and its phases.

// Runs the whole program: start-up, intro, main loop, shutdown. Returns the exit status: 0 after
// a normal end, -1 when the display cannot be opened.
int RunQuellmark();

// Phases, in the order RunQuellmark calls them.
void StartUp();      // fills tables and builds everything drawn later (before the display)
void RunIntro();     // drain held input, opening flashes, intro loop, closing flashes (the
                     // last skipped after a close request, which also skips the main loop)
void RunMainLoop();  // the reader's loop, until Escape, Exit or a close request
// One page frame without scrollbar and pointer: background, buttons, menu panel, page rules and
// text, level meter (while the music is on), ticker. The main loop and the page transitions draw
// every frame with it.
void ComposePageFrame();
// The mouse copy and the page keys, once per frame after presenting.
void PollInput();
// F1/F2 choose the skin; a pending click on one of the ten buttons does its action.
void HandleButtonsAndSkinKeys();
