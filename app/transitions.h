#pragma once
// The effects that own the screen for a while and present their own frames: the colour-band
// flashes around the intro. Each one loops on the timer, draws with the renderer and presents.

// Half a second of random colour bands `band` rows high, at least one frame.
void ColourBandFlash(int band);
