#pragma once
// The effects that own the screen for a while and present their own frames: the colour-band
// flashes around the intro and the page transitions around a page change. Each one loops, draws
// with the renderer and presents; no input is read while it runs.

// Half a second of random colour bands `band` rows high, at least one frame. With
// Shared.ReducedMotion a calm fade of the picture on screen takes their place.
void ColourBandFlash(int band);

// 75 frames of the live page frame (no scrollbar, no pointer) with interleaved columns of the page
// area blacked out from both edges inwards; the open transition uncovers it again. The clock
// advances by each frame's real duration, so the rainbow rules keep moving underneath.
void PageCloseTransition();
void PageOpenTransition();
