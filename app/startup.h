#pragma once
// Start-up, the first phase: everything drawn or played later is built here, before the display
// opens.

// Resets the application's state, fills the content tables, opens the editorial in the page view,
// and builds the ticker texts, menu captions, tune and module tables, skin palettes, text colours,
// pointer images, button tables and the level meter.
void StartUp();
