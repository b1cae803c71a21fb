#pragma once
// Keyboard and mouse input of the main loop: the application's copy of the mouse, the page keys,
// the skin keys and the ten buttons. A click is pending while the button is down and no handler
// has taken it; each handler that acts on it takes it, so one press does one thing.

// Once per frame, after presenting: the mouse copy (held inside the page), then the page keys.
void PollInput();
// Once per frame, before the menu clicks: F1/F2 choose the skin; a pending click on one of the ten
// buttons does its action.
void HandleButtonsAndSkinKeys();
