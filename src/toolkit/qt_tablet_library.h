// The tablet library of this platform: Qt's pen events, taken anywhere in the
// program as a system context takes them, queued as packets.
#pragma once

#include <memory>

#include "tablet/wintab.h"

class QInputDevice;

// A stylus, airbrush or puck, or any pointer that reports pressure.
bool IsPenDevice(const QInputDevice* device);
// Whether the platform lists a pen device now (false without a GUI application).
bool PlatformHasPenDevice();

// Watches the application from construction to destruction.
std::unique_ptr<TTabletLibrary> MakeQtTabletLibrary();
