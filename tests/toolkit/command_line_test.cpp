// The command line, read before any window: daubix [options] [FILE].
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/version.h"
#include "toolkit/toolkit.h"

namespace {

TCommandLine Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "/usr/bin/daubix");
  return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

std::string InCurrentFolder(const std::string& name) {
  return (std::filesystem::current_path() / name).string();
}

TEST(CommandLine, FileToOpenAtStart) {
  struct Case {
    std::vector<const char*> args;
    std::string file;
  };
  const Case cases[] = {
      {{}, ""},
      {{"picture.bmp"}, InCurrentFolder("picture.bmp")},
      {{"/srv/pictures/a b.bmp"}, "/srv/pictures/a b.bmp"},
      {{"--", "-dash.bmp"}, InCurrentFolder("-dash.bmp")},
      // The platform's own options are left for its application object.
      {{"-platform", "offscreen", "picture.bmp"}, InCurrentFolder("picture.bmp")},
      {{"-style", "fusion", "-reverse"}, ""},
  };
  for (const Case& c : cases) {
    const TCommandLine command = Parse(c.args);
    EXPECT_FALSE(command.ExitCode.has_value()) << command.Message;
    EXPECT_EQ(command.PictureFile, c.file);
  }
}

TEST(CommandLine, AnswersAndMistakesEndTheProgram) {
  const std::string tryHelp = "Try 'daubix --help' for more information.\n";
  struct Case {
    std::vector<const char*> args;
    int exitCode;
    std::string messageStart;
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage: daubix [options] [FILE]\n"},
      {{"-h", "picture.bmp"}, 0, "Usage: daubix [options] [FILE]\n"},
      {{"--bogus", "--help"}, 0, "Usage: daubix [options] [FILE]\n"},
      {{"--version"}, 0, "daubix " DAUBIX_VERSION "\n"},
      {{"-v"}, 0, "daubix " DAUBIX_VERSION "\n"},
      {{"--bogus"}, 2, "daubix: Unknown option 'bogus'.\n" + tryHelp},
      {{"-platform"}, 2, "daubix: "},  // the toolkit's own words for a missing value
      {{"a.bmp", "b.bmp"}, 2, "daubix: only one FILE can be opened at a time.\n" + tryHelp},
  };
  for (const Case& c : cases) {
    const TCommandLine command = Parse(c.args);
    ASSERT_TRUE(command.ExitCode.has_value()) << c.messageStart;
    EXPECT_EQ(*command.ExitCode, c.exitCode) << c.messageStart;
    EXPECT_EQ(command.Message.substr(0, c.messageStart.size()), c.messageStart);
    if (c.exitCode != 0) EXPECT_TRUE(command.Message.ends_with(tryHelp)) << command.Message;
    EXPECT_TRUE(command.PictureFile.empty());
  }
  // The help names the options a user may give, and none of the platform's.
  const std::string help = Parse({"--help"}).Message;
  for (const char* shown : {"-h, --help", "-v, --version", "FILE"})
    EXPECT_NE(help.find(shown), std::string::npos) << shown;
  EXPECT_EQ(help.find("platform"), std::string::npos);
}

}  // namespace
