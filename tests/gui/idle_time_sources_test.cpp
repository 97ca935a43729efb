#include "gui/idle_time_sources.hpp"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv {
namespace {

class FakeIdle final : public IdleTimeProbe {
 public:
  explicit FakeIdle(std::optional<uint64_t> answer) : answer_(answer) {}
  std::optional<uint64_t> Query() override { return answer_; }

 private:
  std::optional<uint64_t> answer_;
};

// A candidate that answers `ms`, that does not answer (nullopt), or that is
// not on offer (-1).
IdleCandidate Candidate(const std::string& name, int64_t ms) {
  if (ms == -1) return {name, nullptr};
  return {name, std::make_unique<FakeIdle>(ms == -2 ? std::nullopt : std::optional<uint64_t>(ms))};
}
constexpr int64_t kNotOnOffer = -1;
constexpr int64_t kNoAnswer = -2;

TEST(IdleTimeSourcesTest, TheFirstSourceThatAnswersIsUsed) {
  const struct {
    int64_t x11, screensaver, mutter;
    std::string chosen;
    uint64_t idle_ms;
  } cases[] = {
      {5000, 7000, 9000, "x11", 5000},
      {kNotOnOffer, 7000, 9000, "screensaver", 7000},
      {kNotOnOffer, kNoAnswer, 9000, "mutter", 9000},
      {kNoAnswer, kNoAnswer, 0, "mutter", 0},
  };
  for (const auto& c : cases) {
    std::vector<IdleCandidate> candidates;
    candidates.push_back(Candidate("x11", c.x11));
    candidates.push_back(Candidate("screensaver", c.screensaver));
    candidates.push_back(Candidate("mutter", c.mutter));
    IdleChoice choice = SelectIdleTimeSource(std::move(candidates));
    EXPECT_EQ(choice.name, c.chosen);
    EXPECT_EQ(choice.source->IdleMilliseconds(), c.idle_ms);
    EXPECT_NE(choice.report.find("idle time from " + c.chosen), std::string::npos) << choice.report;
  }
}

TEST(IdleTimeSourcesTest, WithNoSourceThePersonIsNeverIdle) {
  std::vector<IdleCandidate> candidates;
  candidates.push_back(Candidate("x11", kNotOnOffer));
  candidates.push_back(Candidate("screensaver", kNoAnswer));
  IdleChoice choice = SelectIdleTimeSource(std::move(candidates));
  EXPECT_TRUE(choice.name.empty());
  ASSERT_NE(choice.source, nullptr);
  EXPECT_EQ(choice.source->IdleMilliseconds(), 0u);
  EXPECT_EQ(choice.report,
            "no idle time source (x11 not on offer, screensaver did not answer): never away automatically");
}

// A source that stops answering later says "not idle" rather than a guess.
TEST(IdleTimeSourcesTest, ASourceWithoutAnAnswerCountsAsNotIdle) {
  FakeIdle silent(std::nullopt);
  EXPECT_EQ(silent.IdleMilliseconds(), 0u);
}

// The X11 source is offered on X11 only (the tests run on Qt's offscreen
// platform; under a virtual X display with QT_QPA_PLATFORM=xcb it answers).
TEST(IdleTimeSourcesTest, TheX11SourceIsOfferedOnlyOnX11) {
  const std::vector<IdleCandidate> candidates = DesktopIdleCandidates();
  ASSERT_EQ(candidates.size(), 3u);
  EXPECT_EQ(candidates[1].name, "org.freedesktop.ScreenSaver");
  EXPECT_EQ(candidates[2].name, "org.gnome.Mutter.IdleMonitor");
  std::unique_ptr<IdleTimeProbe> x11 = MakeX11IdleTime();
  if (QGuiApplication::platformName() != "xcb") {
    EXPECT_EQ(x11, nullptr);
    EXPECT_EQ(candidates[0].probe, nullptr);
    return;
  }
  ASSERT_NE(x11, nullptr);
  EXPECT_TRUE(x11->Query().has_value());
}

}  // namespace
}  // namespace orv
