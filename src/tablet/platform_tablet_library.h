// The tablet library of this platform: the toolkit's pen samples, taken
// anywhere in the program as a system context takes them, queued as packets.
#pragma once

#include <memory>

#include "tablet/wintab.h"

// Watches the program's pen input from construction to destruction.
std::unique_ptr<TTabletLibrary> MakePlatformTabletLibrary();
