#include "app/single_instance_startup.hpp"

#include <gtest/gtest.h>

#include "app/manual_dispatcher.hpp"
#include "app/scripted_ui_port.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using Message = ScriptedUiPort::Message;

constexpr uint32_t kId[8] = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(SingleInstanceStepTest, FirstCopyRunsAndShowsItselfWhenASecondCopyStarts) {
  test::TempDir dir;
  ManualDispatcher dispatcher;
  ScriptedUiPort first_ui;
  int shown = 0;
  SingleInstanceStep first = RunSingleInstanceStep(first_ui, dir.path(), kId, dispatcher, [&] { ++shown; });
  ASSERT_TRUE(first.run);
  ASSERT_TRUE(first.lock);
  EXPECT_TRUE(first_ui.messages().empty());

  ScriptedUiPort second_ui;
  ManualDispatcher second_dispatcher;
  SingleInstanceStep second = RunSingleInstanceStep(second_ui, dir.path(), kId, second_dispatcher, [] {});
  EXPECT_FALSE(second.run);
  EXPECT_FALSE(second.lock);
  const std::vector<Message> expected = {{"Warning",
                                          "Another copy of ORV telephone with the same ID is running. This applicaton "
                                          "will be closed and anoter shown",
                                          MessageIcon::kWarning, false}};
  EXPECT_EQ(second_ui.messages(), expected);

  // The request arrived on the lock's thread and was posted, not run there.
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(dispatcher.RunPending(), 1u);
  EXPECT_EQ(shown, 1);
}

TEST(SingleInstanceStepTest, ALockThatCannotBeTakenIsFatal) {
  test::TempDir dir;
  ManualDispatcher dispatcher;
  ScriptedUiPort ui;
  SingleInstanceStep step = RunSingleInstanceStep(ui, dir / "missing", kId, dispatcher, [] {});
  EXPECT_FALSE(step.run);
  const std::vector<Message> expected = {{"Fatal Error", "Can't create mutex", MessageIcon::kError, false}};
  EXPECT_EQ(ui.messages(), expected);
}

}  // namespace
}  // namespace orv
