// The sender's window over a simulated link: transfers complete byte for
// byte under loss and reordering, also to a receiver that keeps only 10
// early blocks, and the window collapses under heavy loss and grows back.
#include <gtest/gtest.h>

#include "sim_link.hpp"
#include "transfer/congestion_window.hpp"

namespace orv {
namespace {

using test::LinkConditions;
using test::Pattern;
using test::SimLink;

struct FlowCase {
  const char* name;
  bool classic_sender;
  bool classic_receiver;
  LinkConditions link;
};

class FlowOverLink : public ::testing::TestWithParam<FlowCase> {};

TEST_P(FlowOverLink, CompletesByteForByte) {
  const FlowCase& c = GetParam();
  SimLink link(c.classic_sender ? ClassicTransferWindow() : TransferWindow{},
               c.classic_receiver ? ClassicTransferWindow() : TransferWindow{});
  link.SetConditions(c.link);
  const std::string contents = Pattern(316 * 700 + 123, 3);
  const uint32_t handle = link.Send(contents);
  link.RunToEnd(handle, 20000);
  EXPECT_EQ(link.SenderView(handle).state, kTransferComplete);
  ASSERT_TRUE(link.Received());
  EXPECT_TRUE(link.ReceivedFile() == contents);
}

LinkConditions Link(double loss, double reorder, double per_step = 0) {
  LinkConditions c;
  c.loss = loss;
  c.reorder = reorder;
  c.per_step = per_step;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Links, FlowOverLink,
    ::testing::Values(FlowCase{"TenSlotReceiverLossy", false, true, Link(0.05, 0.05)},
                      FlowCase{"TenSlotReceiverReordering", false, true, Link(0.01, 0.3)},
                      FlowCase{"TenSlotReceiverBottleneck", false, true, Link(0.005, 0, 4)},
                      FlowCase{"LossyAndReordering", false, false, Link(0.05, 0.1)},
                      FlowCase{"HeavyLoss", false, false, Link(0.3, 0.05)},
                      FlowCase{"Bottleneck", false, false, Link(0.005, 0.01, 4)},
                      FlowCase{"ClassicSender", true, false, Link(0.05, 0.05)}),
    [](const ::testing::TestParamInfo<FlowCase>& p) { return std::string(p.param.name); });

// A clean bottleneck of 4 blocks per 5 ms and a 50 ms round trip: the
// window grows well beyond 10; under 60 % loss each way it falls to its
// floor; once the loss is over it grows back, and the file arrives whole.
TEST(FlowWindow, CollapsesUnderHeavyLossAndRecovers) {
  SimLink link(TransferWindow{}, TransferWindow{});
  LinkConditions clean = Link(0, 0, 4);
  link.SetConditions(clean);
  const std::string contents = Pattern(316 * 14000, 5);
  const uint32_t handle = link.Send(contents);
  link.Ticks(100);
  const uint32_t grown = link.SenderView(handle).window;
  EXPECT_GT(grown, 40u);

  link.SetConditions(Link(0.6, 0, 4));
  link.Ticks(60);
  EXPECT_LE(link.SenderView(handle).window, 12u);

  link.SetConditions(clean);
  link.Ticks(200);
  EXPECT_GT(link.SenderView(handle).window, 30u);
  ASSERT_EQ(link.SenderView(handle).state, kTransferSending);  // still running: the test saw all three phases

  link.RunToEnd(handle, 5000);
  ASSERT_TRUE(link.Received());
  EXPECT_TRUE(link.ReceivedFile() == contents);
}

// The resend time-out follows the round trip, and never goes below 250 ms.
TEST(CongestionWindowTest, ResendTimeOutFollowsTheRoundTripAboveAQuarterSecond) {
  CongestionWindow w;
  EXPECT_EQ(w.ResendTicks(), 5u);  // nothing measured yet: 250 ms
  uint64_t now = 0;
  for (int i = 0; i < 50; ++i) w.Acknowledged(now += 1000, 20'000);  // 20 ms, steady
  EXPECT_EQ(w.ResendTicks(), 5u);
  for (int i = 0; i < 50; ++i) w.Acknowledged(now += 1000, i % 2 ? 300'000 : 700'000);  // 0.5 s, jittery
  EXPECT_GE(w.ResendTicks(), 15u);
  EXPECT_LE(w.ResendTicks(), 60u);
  for (int i = 0; i < 10; ++i) w.Acknowledged(now += 1000, std::nullopt);  // resent blocks: no samples
  EXPECT_GE(w.ResendTicks(), 15u);
}

// A classic window neither grows nor shrinks, and resends after 250 ms.
TEST(CongestionWindowTest, AClassicWindowStaysAsItIs) {
  CongestionWindow w(ClassicTransferWindow());
  for (int i = 0; i < 100; ++i) w.Acknowledged(static_cast<uint64_t>(i) * 1000, 900'000);
  w.Lost();
  w.Silent();
  EXPECT_EQ(w.Blocks(), 10u);
  EXPECT_EQ(w.ResendTicks(), 5u);
}

// A queue building up ends slow start and shrinks the window; a round trip
// back at its base lets it grow again.
TEST(CongestionWindowTest, AGrowingQueueHoldsTheWindowBack) {
  CongestionWindow w;
  uint64_t now = 0;
  for (int i = 0; i < 100; ++i) w.Acknowledged(now += 100, 50'000);
  EXPECT_TRUE(w.InSlowStart());
  EXPECT_EQ(w.Blocks(), 110u);
  for (int i = 0; i < 2000; ++i) w.Acknowledged(now += 100, 150'000);  // 100 ms of queue
  EXPECT_FALSE(w.InSlowStart());
  const uint32_t held = w.Blocks();
  EXPECT_LT(held, 100u);
  for (int i = 0; i < 2000; ++i) w.Acknowledged(now += 100, 50'000);
  EXPECT_GT(w.Blocks(), held);
}

}  // namespace
}  // namespace orv
