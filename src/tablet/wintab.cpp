// The tablet library loader: which library the program talks to, chosen once
// at start and released after the windows are gone.
#include "tablet/wintab.h"

#include <utility>

#include "tablet/platform_tablet_library.h"
#include "toolkit/pen_input.h"

namespace {

// What a test or another backend put in place; kept across loads so that a
// test can read what its library recorded after the window set is gone.
std::unique_ptr<TTabletLibrary>& InstalledLibrary() {
  static std::unique_ptr<TTabletLibrary> library;
  return library;
}

// The platform's library, made at load only when a pen is present.
std::unique_ptr<TTabletLibrary>& PlatformLibrary() {
  static std::unique_ptr<TTabletLibrary> library;
  return library;
}

TTabletLibrary* loadedLibrary = nullptr;

}  // namespace

void LoadTabletLibrary() {
  if (loadedLibrary != nullptr) return;
  if (TTabletLibrary* installed = InstalledLibrary().get()) {
    if (installed->Present()) loadedLibrary = installed;
    return;
  }
  if (!PlatformHasPenDevice()) return;
  PlatformLibrary() = MakePlatformTabletLibrary();
  if (PlatformLibrary()->Present()) loadedLibrary = PlatformLibrary().get();
}

void ReleaseTabletLibrary() {
  loadedLibrary = nullptr;
  PlatformLibrary().reset();
}

TTabletLibrary* TabletLibrary() {
  return loadedLibrary;
}

void InstallTabletLibrary(std::unique_ptr<TTabletLibrary> library) {
  // Never leave the loaded pointer dangling on a library being replaced.
  if (loadedLibrary == InstalledLibrary().get()) loadedLibrary = nullptr;
  InstalledLibrary() = std::move(library);
}
