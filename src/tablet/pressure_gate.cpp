// The canvas window's tablet context and the pressure gate that the canvas,
// the palette and the colour chart apply to left-button mouse events.
#include <algorithm>

#include "canvas/canvas_window.h"

namespace {

// Pressure in tablet units: 1..200 is a light touch, 0 means no packet or the
// tip lifted. Not scaled to the tablet's range.
constexpr int kLightPressureMin = 1;
constexpr int kLightPressureMax = 200;

}  // namespace

void TForm1::OpenTabletContext() {
  TabletAvailable = TabletLibrary() != nullptr;
  if (!TabletAvailable) return;
  TTabletLibrary* library = TabletLibrary();
  TLogContext context{};
  library->WTInfoA(WTI_DEFSYSCTX, 0, &context);
  context.lcPktData = PK_X | PK_Y | PK_NORMAL_PRESSURE;
  context.lcPktMode = 0;  // all fields absolute
  context.lcMoveMask = PK_X | PK_Y | PK_NORMAL_PRESSURE;
  context.lcBtnUpMask = context.lcBtnDnMask;
  // Output in screen pixels, y growing downwards.
  context.lcOutOrgX = 0;
  context.lcOutOrgY = 0;
  context.lcOutExtX = Screen->Width();
  context.lcOutExtY = -Screen->Height();
  // A failed open leaves 0, which later calls take harmlessly.
  TabletContext = library->WTOpenA(this, &context, true);
  library->WTQueueSizeSet(TabletContext, static_cast<int>(PacketBuffer.size()));
}

void TForm1::CloseTabletContext() {
  if (!TabletAvailable) return;
  if (TTabletLibrary* library = TabletLibrary()) library->WTClose(TabletContext);
  TabletContext = 0;
}

void TForm1::PollTabletPressure() {
  TTabletLibrary* library = TabletLibrary();
  if (!TabletAvailable || library == nullptr) return;
  library->WTOverlap(TabletContext, true);
  const int room = static_cast<int>(PacketBuffer.size());
  // A library that claims more packets than the buffer holds is not trusted
  // beyond the buffer.
  PacketCount = std::clamp(library->WTPacketsGet(TabletContext, room, PacketBuffer.data()), 0, room);
  LastPressure = 0;
  for (int i = 0; i < PacketCount; ++i) {
    LastPressure = static_cast<int>(PacketBuffer[static_cast<std::size_t>(i)].pkNormalPressure);
  }
}

bool TForm1::TabletPressureIsLight() {
  if (!TabletAvailable) return false;
  PollTabletPressure();
  return LastPressure >= kLightPressureMin && LastPressure <= kLightPressureMax;
}
