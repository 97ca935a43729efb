#include "app/settings_report.hpp"

#include <gtest/gtest.h>

#include "support/log_capture.hpp"

namespace orv {
namespace {

TEST(SettingsReportTest, NamesEveryProblemAndWhereTheDamagedFileGoes) {
  test::LogCapture log;
  ProfilePaths paths;
  paths.settings_file = "/p/orv.set";
  SettingsRead read;
  read.state = FileReadState::kRead;
  read.problems = {"line 3 dropped: x", "[Network] LocalPort: y"};
  LogSettingsProblems(read, paths);
  EXPECT_EQ(log.Messages("Main"), (std::vector<std::string>{
                                      "Settings file /p/orv.set: line 3 dropped: x",
                                      "Settings file /p/orv.set: [Network] LocalPort: y",
                                      "Settings file /p/orv.set is damaged: it is kept as /p/orv.set.bad when the "
                                      "settings are saved",
                                  }));
}

TEST(SettingsReportTest, SaysNothingForASoundFile) {
  test::LogCapture log;
  LogSettingsProblems(SettingsRead{}, ProfilePaths{});
  EXPECT_TRUE(log.Messages("Main").empty());
}

}  // namespace
}  // namespace orv
