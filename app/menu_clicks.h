#pragma once
// Clicks on the menu panel: an entry chooses its document, shown behind the page transitions; the
// switch entry swaps the Charts and Articles menus.

// Once per frame, after the buttons: takes every pending click, whether it hits an entry or not.
// An enabled entry that is not current becomes the one marked, releases the Rules and Help
// buttons, and its document is loaded between PageCloseTransition and PageOpenTransition.
void HandleMenuClicks();
