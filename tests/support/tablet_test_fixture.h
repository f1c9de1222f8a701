// Any whole-program test with a tablet library of the test's in place of the
// platform's: installed before the window set is created, removed after it.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "support/scripted_tablet_library.h"
#include "support/window_set_fixture.h"

template <class Base = WindowSetTest, class Library = ScriptedTabletLibrary>
class WithTablet : public Base {
 protected:
  void BeforeCreate() override {
    Base::BeforeCreate();
    std::unique_ptr<TTabletLibrary> library = MakeLibrary();
    tablet_ = static_cast<Library*>(library.get());
    InstallTabletLibrary(std::move(library));
  }
  void TearDown() override {
    Base::TearDown();
    EXPECT_EQ(TabletLibrary(), nullptr) << "released with the window set";
    CheckCallsAfterRelease();
    InstallTabletLibrary(nullptr);
  }
  virtual std::unique_ptr<TTabletLibrary> MakeLibrary() {
    if constexpr (std::is_abstract_v<Library>) {
      return nullptr;  // the test makes its own
    } else {
      return std::make_unique<Library>();
    }
  }
  virtual void CheckCallsAfterRelease() {}

  Library* tablet_ = nullptr;
};

// The scripted library on the plain window set; the context is closed once,
// as the last call.
class ScriptedTabletTest : public WithTablet<> {
 protected:
  std::unique_ptr<TTabletLibrary> MakeLibrary() override {
    return std::make_unique<ScriptedTabletLibrary>(LibraryPresent());
  }
  virtual bool LibraryPresent() { return true; }
  void CheckCallsAfterRelease() override {
    ASSERT_FALSE(tablet_->Calls().empty());
    EXPECT_EQ(tablet_->Calls().back().name, "WTClose");
    EXPECT_EQ(tablet_->Calls().back().context, ScriptedTabletLibrary::kHandle);
    int closes = 0;
    for (const auto& call : tablet_->Calls()) closes += call.name == "WTClose";
    EXPECT_EQ(closes, 1);
  }
};
