// The tablet library layer: six calls with the meaning of the published tablet
// interface, backed by the platform's pen input. A test or another platform
// installs its own library before the window set is created.
#pragma once

#include <cstdint>
#include <memory>

class TForm;

using HCTX = std::uint32_t;  // 0: no context

// 12 bytes, as the context requests them: x, y, tip pressure.
struct TPacket {
  std::int32_t pkX = 0;
  std::int32_t pkY = 0;
  std::uint32_t pkNormalPressure = 0;  // tablet units, 0..1023; 0 = not touching
};
static_assert(sizeof(TPacket) == 12);

// The context record: only what the program sets or the library needs.
struct TLogContext {
  std::uint32_t lcPktData = 0;
  std::uint32_t lcPktMode = 0;
  std::uint32_t lcMoveMask = 0;
  std::uint32_t lcBtnDnMask = 0;
  std::uint32_t lcBtnUpMask = 0;
  std::int32_t lcOutOrgX = 0, lcOutOrgY = 0;
  std::int32_t lcOutExtX = 0, lcOutExtY = 0;
};

constexpr unsigned WTI_DEFSYSCTX = 4;
constexpr std::uint32_t PK_X = 0x0080, PK_Y = 0x0100, PK_NORMAL_PRESSURE = 0x0400;

class TTabletLibrary {
 public:
  virtual ~TTabletLibrary() = default;
  // Whether the library is there to load; asked once
  // by LoadTabletLibrary. A library that is not present is never called.
  virtual bool Present() { return true; }
  virtual unsigned WTInfoA(unsigned category, unsigned index, TLogContext* out) = 0;
  virtual HCTX WTOpenA(TForm* window, TLogContext* context, bool enable) = 0;
  virtual bool WTClose(HCTX context) = 0;
  virtual bool WTQueueSizeSet(HCTX context, int packets) = 0;
  virtual bool WTOverlap(HCTX context, bool toTop) = 0;
  // Takes at most maxPackets queued packets, oldest first; returns the count.
  virtual int WTPacketsGet(HCTX context, int maxPackets, TPacket* buffer) = 0;
};

// Loads the library once at start: the platform's pen input when a pen device
// is present, else none (the tablet is unavailable for the whole run).
void LoadTabletLibrary();
// After all windows are destroyed.
void ReleaseTabletLibrary();
// Null when unavailable.
TTabletLibrary* TabletLibrary();
// For tests and other backends: used by the next LoadTabletLibrary instead of
// the platform's; null restores the platform's.
void InstallTabletLibrary(std::unique_ptr<TTabletLibrary> library);
