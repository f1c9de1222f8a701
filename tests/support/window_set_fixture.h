// A whole program per test: the seven windows created and the canvas window
// shown, dialogs answered through the seam, files beside a private folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/startup.h"
#include "canvas/canvas_window.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

class WindowSetTest : public testing::Test {
 protected:
  void SetUp() override {
    Testing::Reset();
    folder_ = std::filesystem::temp_directory_path() /
              ("daubix-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    Testing::SetExecutablePath((folder_ / "daubix").string());
    // Never the real ~/.config: a layout left there would change the tests.
    Testing::SetConfigFolder((folder_ / "config" / "Daubix").string());
    // Nor the real ~/.local/state, where the user's unsaved pictures wait.
    Testing::SetStateFolder(StateFolder().string());
    BeforeCreate();
    CreateWindowSet();
    if (ShowOnStart()) Form1Show();
  }
  void TearDown() override {
    DestroyWindowSet();
    Testing::SetExecutablePath("");
    Testing::SetConfigFolder("");
    Testing::SetStateFolder("");
    std::filesystem::remove_all(folder_);
    EXPECT_TRUE(Testing::UnansweredDialogs().empty()) << Testing::UnansweredDialogs().front();
  }
  // Hooks for tests that need files or a tablet before start, or no show.
  virtual void BeforeCreate() {}
  virtual bool ShowOnStart() { return true; }
  void Form1Show() { Form1->Show(); }
  std::filesystem::path Folder() const { return folder_; }
  std::string LayoutFilePath() const { return (folder_ / "Daubix.ini").string(); }
  std::filesystem::path StateFolder() const { return folder_ / "state" / "Daubix"; }
  std::string ConfigLayoutFilePath() const { return (folder_ / "config" / "Daubix" / "Daubix.ini").string(); }

 private:
  std::filesystem::path folder_;
};
