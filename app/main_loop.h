#pragma once
// The main loop, the third phase: the reader's magazine.

// One pass per frame: scrolling, buttons and skin keys, menu clicks, the page frame with the
// scrollbar and the pointer, presentation, the input poll. Runs until Escape, the Exit button or
// a close request.
void RunMainLoop();
