#pragma once
// The intro's backdrop: raster bars, the three-layer star field, and the wave and colour tables
// that shape the big-font text. Each intro frame calls DrawRasterBars, UpdateWaveTables and
// DrawStarField in this order, over the backdrop PaintIntroBackdrop left from the previous frame.
// They read Shared.IntroPhase and Shared.IntroStep and write the FrameBuffer and `Intro`.

// Once before the intro: random positions for the 300 stars (x before y for each star).
void ScatterStars();
// Seven pairs of full-width blue bars riding two sine paths.
void DrawRasterBars();
// The wave tops of the scroller and its reflection per column, and the three colour ramps per row.
void UpdateWaveTables();
// Draws every star where it stood, then moves it right by its layer's speed.
void DrawStarField();
