#pragma once
// The page frame, drawn from scratch every frame of the main loop and of the page transitions.

// One page frame without scrollbar and pointer: background, buttons, menu panel, page rules and
// text, level meter (while the music is on), ticker.
void ComposePageFrame();
