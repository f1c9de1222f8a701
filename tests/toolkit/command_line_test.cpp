// The command line, read before any window: daubix [options] [FILE].
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/version.h"
#include "toolkit/toolkit.h"

namespace {

TEST(CommandLine, FileToOpenAnswersAndMistakes) {
  const std::string here = std::filesystem::current_path().string() + "/";
  const std::string usage = "Usage: daubix [options] [FILE]\n";
  const std::string tryHelp = "Try 'daubix --help' for more information.\n";
  struct Case {
    std::vector<const char*> args;
    std::optional<int> exitCode;
    std::string messageStart, file;
  };
  const Case cases[] = {
      {{}, std::nullopt, "", ""},
      {{"picture.bmp"}, std::nullopt, "", here + "picture.bmp"},
      {{"/srv/pictures/a b.bmp"}, std::nullopt, "", "/srv/pictures/a b.bmp"},
      {{"--", "-dash.bmp"}, std::nullopt, "", here + "-dash.bmp"},
      // The platform's own options are left for its application object.
      {{"-platform", "offscreen", "picture.bmp"}, std::nullopt, "", here + "picture.bmp"},
      {{"-style", "fusion", "-reverse"}, std::nullopt, "", ""},
      // Help and version answer even beside other words.
      {{"--help"}, 0, usage, ""},
      {{"-h", "picture.bmp"}, 0, usage, ""},
      {{"--bogus", "--help"}, 0, usage, ""},
      {{"--version"}, 0, "daubix " DAUBIX_VERSION "\n", ""},
      {{"-v"}, 0, "daubix " DAUBIX_VERSION "\n", ""},
      {{"--bogus"}, 2, "daubix: Unknown option 'bogus'.\n" + tryHelp, ""},
      {{"-platform"}, 2, "daubix: ", ""},  // the toolkit's own words for a missing value
      // Several files, as "Open with" passes them: the first is opened.
      {{"a.bmp", "b.bmp", "c d.bmp"},
       std::nullopt,
       "daubix: one picture is opened at a time; not opened: b.bmp, c d.bmp\n",
       here + "a.bmp"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "/usr/bin/daubix");
    const TCommandLine command = ParseCommandLine(static_cast<int>(args.size()), args.data());
    const std::string what = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(command.ExitCode, c.exitCode) << what;
    EXPECT_EQ(command.Message.substr(0, c.messageStart.size()), c.messageStart) << what;
    if (c.exitCode.value_or(0) != 0) EXPECT_TRUE(command.Message.ends_with(tryHelp)) << command.Message;
    EXPECT_EQ(command.PictureFile, c.file) << what;
  }
}

}  // namespace
