// Whole numbers from the environment: anything else is said once and replaced.
#include "core/environment_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

TEST(EnvironmentNumber, OnlyWholeNumbersAreTakenAndTheyAreHeldToTheMost) {
  struct Case {
    std::optional<std::string> value;
    std::uint64_t expected;
    bool said;  // one line on standard error
  };
  const Case cases[] = {{std::nullopt, 256, false}, {"64", 64, false},
                        {"0", 256, true},           {"1", 1, false},
                        {"5000", 1000, false},      {"99999999999999999999999", 1000, false},
                        {"abc", 256, true},         {"-5", 256, true},
                        {"16MB", 256, true},        {"", 256, true},
                        {" 7", 256, true},          {"+7", 256, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    if (c.value)
      ::setenv("DAUBIX_TEST_NUMBER", c.value->c_str(), 1);
    else
      ::unsetenv("DAUBIX_TEST_NUMBER");
    testing::internal::CaptureStderr();
    EXPECT_EQ(NumberFromEnvironment({"DAUBIX_TEST_NUMBER", 256, 1, 1000}), c.expected);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.empty() ? 0 : std::count(said.begin(), said.end(), '\n'), c.said ? 1 : 0) << said;
    if (c.said) EXPECT_NE(said.find("DAUBIX_TEST_NUMBER"), std::string::npos);
  }
  ::unsetenv("DAUBIX_TEST_NUMBER");
}

}  // namespace
