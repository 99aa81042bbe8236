#pragma once
// The busy cursor while the program waits for something outside it (another
// program's lock on the book). It goes when the event loop next runs.

void ShowBusyUntilIdle();
