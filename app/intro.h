#pragma once
// The intro, the second phase: a SID tune, raster bars, stars, the title box and the scroller,
// between two runs of colour-band flashes.

// Drains held input, flashes, runs the intro loop until Escape, a click or a close request, then
// stops the tune; unless the display was asked to close, flashes again, starts module 1 and
// renders both skin backgrounds for the main loop.
void RunIntro();
