// What each event reported about the picture leaves of its recovery file.
#include "app/save_state.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;

TEST(SaveStateTest, EventsDecideWhetherAChangedPictureKeepsItsRecoveryFile) {
  struct Case {
    const char* event;
    std::function<void(TSaveState&)> report;
    bool fileStays, needsRecovery;
  };
  const Case cases[] = {
      {"started", [](TSaveState& s) { s.Started(); }, true, false},
      {"saved", [](TSaveState& s) { s.Saved(); }, false, false},
      {"discarded", [](TSaveState& s) { s.Discarded(); }, false, false},
      {"opened", [](TSaveState& s) { s.Opened(); }, false, false},
      {"cleared", [](TSaveState& s) { s.Cleared(); }, false, false},
      {"closing", [](TSaveState& s) { ASSERT_FALSE(s.Closing()); }, true, true},
      // Once the session ends, nothing takes the picture's file away.
      {"saved as the session ends",
       [](TSaveState& s) {
         s.SessionEnding(true, false);
         s.Saved();
         ASSERT_FALSE(s.Closing());
       },
       true, true},
  };
  for (const Case& c : cases) {
    std::string folder = (fs::temp_directory_path() / "daubix-save-state-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    {
      TBitmap picture;
      picture.SetWidth(4);
      picture.SetHeight(4);
      TSaveState state(picture, folder);
      state.Started();
      picture.Canvas()->SetPixel(1, 1, clRed);
      state.Recovery().Write(picture);
      c.report(state);
      state.Recovery().WaitIdle();
      EXPECT_EQ(fs::exists(state.Recovery().Path()), c.fileStays) << c.event;
      EXPECT_EQ(state.NeedsRecovery(true), c.needsRecovery) << c.event;
      EXPECT_FALSE(state.NeedsRecovery(false)) << c.event;
    }
    fs::remove_all(folder);
  }
}

}  // namespace
