#include "app/scripted_ui_port.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

TEST(ScriptedUiPort, AnswersFromTheScriptThenNoAndCancel) {
  ScriptedUiPort ui;
  ui.AnswerYesNo(true);
  PasswordAnswer scripted;
  scripted.accepted = true;
  scripted.password.Assign("secret");
  scripted.remember = true;
  ui.AnswerPassword(std::move(scripted));

  EXPECT_TRUE(ui.AskYesNo(kTitleQuestion, "first?", MessageIcon::kQuestion));
  EXPECT_FALSE(ui.AskYesNo(kTitleQuestion, "second?", MessageIcon::kQuestion));  // nothing scripted: No
  ui.ShowMessage(kTitleFatalError, "Can't create mutex", MessageIcon::kError);

  PasswordRequest request;
  request.remember = true;
  const PasswordAnswer first = ui.AskPassword(request);
  EXPECT_TRUE(first.accepted);
  EXPECT_EQ(first.password, PasswordBytes("secret"));
  EXPECT_TRUE(first.remember);
  const PasswordAnswer second = ui.AskPassword(request);
  EXPECT_FALSE(second.accepted);  // nothing scripted: Cancel
  EXPECT_TRUE(second.password.empty());

  using M = ScriptedUiPort::Message;
  EXPECT_EQ(ui.messages(), (std::vector<M>{{"Question", "first?", MessageIcon::kQuestion, true},
                                           {"Question", "second?", MessageIcon::kQuestion, true},
                                           {"Fatal Error", "Can't create mutex", MessageIcon::kError, false}}));
  EXPECT_EQ(ui.password_requests().size(), 2u);
  EXPECT_EQ(ui.unscripted_questions(), 2u);
}

TEST(PasswordAnswer, ConfirmationIsComparedOnlyWhenShown) {
  PasswordAnswer answer;
  answer.password.Assign("one");
  answer.confirmation.Assign("two");
  EXPECT_FALSE(ConfirmationMatches(answer));
  answer.confirmation_shown = false;  // "Show symbols" hides the confirmation
  EXPECT_TRUE(ConfirmationMatches(answer));
  answer.confirmation_shown = true;
  answer.confirmation.Assign("one");
  EXPECT_TRUE(ConfirmationMatches(answer));
}

class CountingSink : public EntropySink {
 public:
  void StirEntropy(std::span<const uint8_t> sample) override { stirred += sample.size(); }
  uint32_t StepEntropy() override { return ++steps; }
  size_t stirred = 0;
  uint32_t steps = 0;
};

TEST(ScriptedUiPort, EntropyEventsStopAtTheLastStep) {
  ScriptedUiPort ui;
  ui.ScriptEntropyEvents(5);
  ui.ScriptEntropyEvents(5000);
  CountingSink few;
  ui.CollectEntropy(few);  // closed after five events
  EXPECT_EQ(few.steps, 5u);
  EXPECT_EQ(few.stirred, 40u);
  CountingSink full;
  ui.CollectEntropy(full);
  EXPECT_EQ(full.steps, kEntropySteps);
  CountingSink none;
  ui.CollectEntropy(none);  // nothing scripted: closed at once
  EXPECT_EQ(none.steps, 0u);
}

}  // namespace
}  // namespace orv
