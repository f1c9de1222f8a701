// The whole program with a scripted tablet library in place of the platform's.
#pragma once

#include <memory>
#include <utility>

#include "support/window_set_fixture.h"
#include "support/scripted_tablet_library.h"

class ScriptedTabletTest : public WindowSetTest {
 protected:
  void BeforeCreate() override {
    auto library = std::make_unique<ScriptedTabletLibrary>(LibraryPresent());
    tablet_ = library.get();
    InstallTabletLibrary(std::move(library));
  }
  void TearDown() override {
    WindowSetTest::TearDown();
    EXPECT_EQ(TabletLibrary(), nullptr) << "released with the window set";
    CheckCallsAfterRelease();
    InstallTabletLibrary(nullptr);
  }
  virtual bool LibraryPresent() { return true; }
  // The context is closed once, as the last call.
  virtual void CheckCallsAfterRelease() {
    ASSERT_FALSE(tablet_->Calls().empty());
    EXPECT_EQ(tablet_->Calls().back().name, "WTClose");
    EXPECT_EQ(tablet_->Calls().back().context, ScriptedTabletLibrary::kHandle);
    int closes = 0;
    for (const auto& call : tablet_->Calls()) closes += call.name == "WTClose";
    EXPECT_EQ(closes, 1);
  }

  ScriptedTabletLibrary* tablet_ = nullptr;
};
