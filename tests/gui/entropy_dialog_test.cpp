#include "gui/entropy_dialog.hpp"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QProgressBar>
#include <QTest>
#include <vector>

namespace orv {
namespace {

// Counts like the core's collector, from a chosen start.
class CountingSink final : public EntropySink {
 public:
  explicit CountingSink(uint32_t start) : steps(start) {}
  void StirEntropy(std::span<const uint8_t> sample) override { samples.emplace_back(sample.begin(), sample.end()); }
  uint32_t StepEntropy() override { return steps < kEntropySteps ? ++steps : steps; }
  uint32_t steps;
  std::vector<std::vector<uint8_t>> samples;
};

TEST(EntropyDialogTest, KeysMovesAndTicksAreStirredAndCountedUpToTheEnd) {
  CountingSink sink(kEntropySteps - 4);
  EntropyDialog dialog(sink);
  EXPECT_EQ(dialog.windowTitle(), "Collecting random data");
  EXPECT_EQ(dialog.progress_bar()->maximum(), static_cast<int>(kEntropySteps));
  dialog.open();
  QTest::keyClick(&dialog, Qt::Key_Escape);  // a sample, not a way out
  EXPECT_TRUE(dialog.isVisible());
  QMouseEvent move(QEvent::MouseMove, QPointF(12, 34), QPointF(12, 34), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&dialog, &move);
  dialog.Tick();
  EXPECT_EQ(dialog.progress_bar()->value(), static_cast<int>(kEntropySteps - 1));
  EXPECT_TRUE(dialog.isVisible());
  dialog.Tick();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(sink.samples.size(), 4u);
  for (const auto& sample : sink.samples) EXPECT_EQ(sample.size(), 8u);
  // The move's position, packed as x in the low and y in the high half.
  EXPECT_EQ(sink.samples[1][4], 12);
  EXPECT_EQ(sink.samples[1][6], 34);
  dialog.Tick();  // nothing more once complete
  EXPECT_EQ(sink.samples.size(), 4u);
}

TEST(EntropyDialogTest, ClosingEndsTheDialogAtOnce) {
  CountingSink sink(0);
  EntropyDialog dialog(sink);
  dialog.open();
  dialog.Tick();
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(sink.steps, 1u);
}

}  // namespace
}  // namespace orv
