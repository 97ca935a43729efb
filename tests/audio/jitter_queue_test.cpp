#include <gtest/gtest.h>

#include <random>

#include "audio/jitter_queue.hpp"
#include "audio/voice_codec.hpp"
#include "crypto/byte_order.hpp"

namespace orv {
namespace {

// A voice message: code 8 and a frame of `size` bytes, each byte `mark`.
std::vector<uint8_t> VoiceMessage(uint8_t mark, size_t size = 42) {
  std::vector<uint8_t> m(4 + size, mark);
  StoreLe32(m.data(), kCodeVoiceFrame);
  return m;
}

class JitterQueue : public ::testing::Test {
 protected:
  JitterQueue() { channel_.call_state.store(6); }
  void Queue(uint8_t mark, size_t size = 42) {
    const auto m = VoiceMessage(mark, size);
    QueueVoiceFrame(channel_, m.data(), m.size());
  }
  // The mark of the frame played next, 0 when none (concealment).
  uint8_t Take() {
    TakeVoiceFrame(channel_, frame_);
    return frame_.empty() ? 0 : frame_[0];
  }
  CallChannel channel_;
  std::vector<uint8_t> frame_;
};

TEST_F(JitterQueue, EighthFrameStartsPlayOutWithTheOldest) {
  for (uint8_t k = 1; k <= 7; ++k) Queue(k);
  EXPECT_FALSE(channel_.playing.load());
  EXPECT_EQ(Take(), 0);  // held: the decoder conceals
  Queue(8);
  EXPECT_TRUE(channel_.playing.load());
  for (uint8_t k = 1; k <= 8; ++k) EXPECT_EQ(Take(), k);
  EXPECT_EQ(channel_.voice_frames_queued.load(), 8u);
}

TEST_F(JitterQueue, FifteenthFrameIsDroppedAndAFullQueuePlays) {
  for (uint8_t k = 1; k <= 15; ++k) Queue(k);
  EXPECT_EQ(channel_.voice_frames_queued.load(), 14u);
  EXPECT_TRUE(channel_.playing.load());
  for (uint8_t k = 1; k <= 14; ++k) EXPECT_EQ(Take(), k);
}

TEST_F(JitterQueue, RunningDryConcealsUntilEightFramesGatherAgain) {
  for (uint8_t k = 1; k <= 8; ++k) Queue(k);
  for (int k = 0; k < 8; ++k) Take();
  EXPECT_TRUE(channel_.playing.load());
  EXPECT_EQ(Take(), 0);  // dry: concealment, play-out stops
  EXPECT_FALSE(channel_.playing.load());
  for (uint8_t k = 20; k < 27; ++k) Queue(k);
  EXPECT_EQ(Take(), 0);  // seven waiting are held
  Queue(27);
  EXPECT_EQ(Take(), 20);
}

TEST_F(JitterQueue, FramesOutsideInVoiceOrOfBadSizeAreDropped) {
  channel_.call_state.store(5);
  Queue(1);
  channel_.call_state.store(6);
  Queue(2, 0);    // empty
  Queue(3, 201);  // larger than any encoded frame
  Queue(4, 200);  // the largest one kept
  EXPECT_EQ(channel_.voice_frames_queued.load(), 1u);
  EXPECT_EQ(channel_.voice_queue[0].length, 200u);
}

TEST_F(JitterQueue, StorageIsReusedOnceWarm) {
  // The frames taken give their storage back to the queue, so a call in
  // its stride copies frames without allocating.
  for (uint8_t k = 1; k <= 8; ++k) Queue(k);
  for (int round = 0; round < 30; ++round) {
    Take();
    Queue(static_cast<uint8_t>(100 + round));
  }
  size_t with_storage = 0;
  for (const auto& slot : channel_.voice_queue) with_storage += slot.frame.capacity() >= 42 ? 1 : 0;
  EXPECT_GE(with_storage, 8u);
}

// Bad voice messages from a peer go through the queue into the decoder
// without a crash, and the queue keeps moving.
TEST_F(JitterQueue, BadMessagesReachTheDecoderWithoutStallingTheQueue) {
  auto codec = CreateVoiceCodec();
  ASSERT_TRUE(codec);
  std::mt19937 random(12);
  std::vector<std::vector<uint8_t>> messages;
  messages.push_back({});                      // nothing at all
  messages.push_back({8, 0, 0});               // code cut short
  messages.push_back(VoiceMessage(0, 0));      // code, no frame
  messages.push_back(VoiceMessage(0xAB, 8132));  // as large as a datagram carries
  int16_t clean[kVoiceFrameSamples] = {};
  uint8_t good[kMaxVoiceFrameBytes];
  const size_t n = EncodeVoiceFrame(*codec, clean, good);
  auto truncated = VoiceMessage(0, 0);
  truncated.insert(truncated.end(), good, good + n / 3);
  messages.push_back(truncated);
  for (int k = 0; k < 200; ++k) {
    auto m = VoiceMessage(0, 1 + random() % 200);
    for (size_t i = 4; i < m.size(); ++i) m[i] = static_cast<uint8_t>(random());
    messages.push_back(m);
  }
  int16_t speaker[kVoiceFrameSamples];
  size_t decoded = 0;
  for (const auto& m : messages) {
    if (m.size() >= 4) QueueVoiceFrame(channel_, m.data(), m.size());
    TakeVoiceFrame(channel_, frame_);
    DecodeVoiceFrame(*codec, frame_.data(), frame_.size(), speaker);
    decoded += frame_.empty() ? 0 : 1;
  }
  EXPECT_GT(decoded, 150u);
  // A good frame still decodes afterwards.
  for (uint8_t k = 0; k < 8; ++k) {
    auto m = VoiceMessage(0, 0);
    m.insert(m.end(), good, good + n);
    QueueVoiceFrame(channel_, m.data(), m.size());
  }
  size_t left = 0;
  while (TakeVoiceFrame(channel_, frame_), !frame_.empty()) {
    DecodeVoiceFrame(*codec, frame_.data(), frame_.size(), speaker);
    ++left;
  }
  EXPECT_GE(left, 8u);
}

}  // namespace
}  // namespace orv
