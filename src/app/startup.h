// Start-up and shutdown of the window set, split so that a test can build the
// whole program without running the event loop (after StartToolkit).
#pragma once

#include <string>

// Loads the tablet library, sets the title, creates the seven windows in order.
void CreateWindowSet();
// Shows the main window, offers the pictures that processes now gone left
// unsaved, opens pictureFile (if not empty) as Open does, and runs the event
// loop, autosaving, until the main window closes or the session ends. Returns
// the program's exit status.
int RunApplication(const std::string& pictureFile = {});
// Destroys the windows, then releases the tablet library; the globals are
// null again, so the set can be created anew in the same process.
void DestroyWindowSet();
