#include "gui/sleep_inhibitor.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/widget_ui_port.hpp"

namespace orv {
namespace {

// A login manager that hands out the write end of a pipe as the lock, so
// that the test sees from the read end when the lock is let go.
class FakeLogind final : public SleepInhibitBus {
 public:
  struct State {
    bool available = true;
    bool refuse = false;
    std::vector<std::string> calls;  // "what|who|mode" of each Inhibit
    int read_end = -1;               // of the last lock handed out
  };
  explicit FakeLogind(std::shared_ptr<State> state) : state_(std::move(state)) {}
  bool Available() override { return state_->available; }
  UniqueFd Inhibit(const std::string& what, const std::string& who, const std::string&, const std::string& mode,
                   std::string& error) override {
    state_->calls.push_back(what + "|" + who + "|" + mode);
    if (state_->refuse) {
      error = "Access denied";
      return UniqueFd();
    }
    int ends[2];
    if (::pipe(ends) != 0) return UniqueFd();
    if (state_->read_end >= 0) ::close(state_->read_end);
    state_->read_end = ends[0];
    return UniqueFd(ends[1]);
  }

 private:
  std::shared_ptr<State> state_;
};

// True once every write end of the last lock is closed (the read end
// reports the hang-up).
bool LockReleased(const FakeLogind::State& state) {
  pollfd p{state.read_end, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

struct InhibitorFixture {
  InhibitorFixture() : inhibitor(std::make_unique<FakeLogind>(state), [this](const std::string& t) { log.push_back(t); }) {}
  ~InhibitorFixture() {
    if (state->read_end >= 0) ::close(state->read_end);
  }
  std::shared_ptr<FakeLogind::State> state = std::make_shared<FakeLogind::State>();
  std::vector<std::string> log;
  SleepInhibitor inhibitor;
};

TEST(SleepInhibitorTest, HeldWhileTheSettingIsOnAndLetGoWhenOff) {
  InhibitorFixture f;
  f.inhibitor.Set(true);
  ASSERT_TRUE(f.inhibitor.held());
  EXPECT_EQ(f.state->calls, std::vector<std::string>{"sleep|ORV Telephone|block"});
  EXPECT_FALSE(LockReleased(*f.state));
  f.inhibitor.Set(true);  // on again: the same lock
  EXPECT_EQ(f.state->calls.size(), 1u);
  f.inhibitor.Set(false);
  EXPECT_FALSE(f.inhibitor.held());
  EXPECT_TRUE(LockReleased(*f.state));
  f.inhibitor.Set(true);  // and taken anew
  EXPECT_EQ(f.state->calls.size(), 2u);
  EXPECT_TRUE(f.log.empty());
}

TEST(SleepInhibitorTest, LetGoWhenTheProgramEnds) {
  auto state = std::make_shared<FakeLogind::State>();
  {
    SleepInhibitor inhibitor(std::make_unique<FakeLogind>(state), nullptr);
    inhibitor.Set(true);
    ASSERT_FALSE(LockReleased(*state));
  }
  EXPECT_TRUE(LockReleased(*state));
  ::close(state->read_end);
}

TEST(SleepInhibitorTest, WithoutALoginManagerNothingIsHeldAndThatIsSaidOnce) {
  InhibitorFixture f;
  f.state->available = false;
  f.inhibitor.Set(true);
  f.inhibitor.Set(false);
  f.inhibitor.Set(true);
  EXPECT_FALSE(f.inhibitor.held());
  EXPECT_TRUE(f.state->calls.empty());
  ASSERT_EQ(f.log.size(), 1u);
  EXPECT_NE(f.log[0].find("no login manager"), std::string::npos);
}

TEST(SleepInhibitorTest, ARefusalIsLoggedAndNothingIsHeld) {
  InhibitorFixture f;
  f.state->refuse = true;
  f.inhibitor.Set(true);
  EXPECT_FALSE(f.inhibitor.held());
  ASSERT_EQ(f.log.size(), 1u);
  EXPECT_NE(f.log[0].find("Access denied"), std::string::npos);
}

// The settings reach the inhibitor through the UI port.
TEST(SleepInhibitorTest, TheUiPortFollowsPreventSleep) {
  auto state = std::make_shared<FakeLogind::State>();
  {
    WidgetUiPort ui(std::make_unique<FakeLogind>(state), nullptr);
    ui.SetPreventSleep(true);
    EXPECT_EQ(state->calls.size(), 1u);
    EXPECT_FALSE(LockReleased(*state));
    ui.SetPreventSleep(false);
    EXPECT_TRUE(LockReleased(*state));
    ui.SetPreventSleep(true);
  }
  EXPECT_EQ(state->calls.size(), 2u);
  EXPECT_TRUE(LockReleased(*state));
  ::close(state->read_end);
}

}  // namespace
}  // namespace orv
