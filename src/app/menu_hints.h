#pragma once

// A plain menu item's hint (a bookmark's address, shown in the status bar
// while the item is pointed at) is also what assistive technology reads as
// its description; the toolkit's own menu items have none. Installed once
// for the program.
void installMenuHintDescriptions();
