#pragma once

// Tells the platform layer which desktop the program's windows are on and which windows are
// its own, so that typing goes to that desktop and never into the station itself.
void installDesktopQueries();
