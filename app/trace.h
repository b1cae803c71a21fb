#pragma once
// Phase lines for whoever drives the real program from outside (the real-window tests): with
// QUELLMARK_TRACE set to 1 the program writes "phase intro", "phase flashes", "phase magazine" and
// "phase document N" (once a page has opened) to standard error, so a driver can wait for the
// state it needs instead of guessing how long each phase takes.

// Writes "phase WHAT" (or "phase WHAT NUMBER" for a number above 0) when QUELLMARK_TRACE is "1".
void TracePhase(const char* what, int number = 0);
