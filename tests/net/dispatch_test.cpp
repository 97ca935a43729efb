// Routing of opened payloads to their consumers, and of call channel codes
// to the conversation's handlers.
#include <gtest/gtest.h>

#include "net/dispatch.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::RecordingConsumers;

const uint32_t kSender[kUserIdWords] = {9, 8, 7, 6, 5, 4, 3, 2};

PeerRef Sender() {
  PeerRef ref;
  CopyUserId(ref.user_id, kSender);
  ref.ipv4 = 0x0A000001;
  ref.port = 31265;
  return ref;
}

std::vector<uint8_t> Payload(uint32_t inner, std::vector<uint32_t> words, size_t extra = 0) {
  std::vector<uint8_t> p(4 + 4 * words.size() + extra);
  StoreLe32(p.data(), inner);
  for (size_t i = 0; i < words.size(); ++i) StoreLe32(p.data() + 4 + 4 * i, words[i]);
  return p;
}

std::vector<std::string> Route(RecordingConsumers& c, const std::vector<uint8_t>& plaintext) {
  DispatchPayload(c.Set(), plaintext.data(), plaintext.size(), Sender());
  std::vector<std::string> kinds;
  for (const auto& d : c.Deliveries()) kinds.push_back(d.kind);
  return kinds;
}

using Kinds = std::vector<std::string>;

TEST(Dispatch, InnerTypesAndCodesReachTheirOwners) {
  struct Case {
    const char* what;
    std::vector<uint8_t> plaintext;
    Kinds with_window;     // a conversation with the sender is open
    Kinds without_window;
  } cases[] = {
      {"DHT", Payload(0, {1}), {"dht"}, {"dht"}},
      {"file transfer", Payload(2, {3, 4}), {"transfer"}, {"transfer"}},
      {"connection request", Payload(1, {0}), {"request"}, {"request"}},
      {"connection request with more data", Payload(1, {0, 7}), {"request"}, {"request"}},
      {"connect", Payload(1, {1}), {"call"}, {"open"}},
      {"chat text", Payload(1, {3, 1}, 8), {"chat"}, {"open"}},
      {"chat acknowledgement", Payload(1, {4, 1}), {"chat"}, {"open"}},
      {"voice frame", Payload(1, {8}, 40), {"voice"}, {"open"}},
      {"not allowed", Payload(1, {10}), {"call"}, {"open"}},
      {"code above 10", Payload(1, {11}), {}, {"open"}},
      {"short call channel message", Payload(1, {}, 3), {}, {"open"}},
      {"inner type 3", Payload(3, {1}), {}, {}},
      {"no inner type", std::vector<uint8_t>{1, 0}, {}, {}},
  };
  for (const Case& c : cases) {
    RecordingConsumers with, without;
    with.OpenConversationWith(kSender);
    EXPECT_EQ(Route(with, c.plaintext), c.with_window) << c.what;
    EXPECT_EQ(Route(without, c.plaintext), c.without_window) << c.what;
  }
}

TEST(Dispatch, TheChannelCountsEveryMessageAndItsVoiceFrames) {
  RecordingConsumers c;
  c.OpenConversationWith(kSender);
  Route(c, Payload(1, {}, 3));    // fewer than 4 bytes: counted, nothing else
  EXPECT_EQ(c.channel->messages_received.load(), 1u);
  c.channel->silence_counter.store(5);
  Route(c, Payload(1, {11}));     // an unknown code still ends the silence
  EXPECT_EQ(c.channel->silence_counter.load(), 0u);
  Route(c, Payload(1, {8}, 20));
  Route(c, Payload(1, {7}));
  EXPECT_EQ(c.channel->messages_received.load(), 4u);
  EXPECT_EQ(c.channel->voice_frames_received.load(), 1u);
  const auto d = c.Deliveries();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].data.size(), 24u);  // the code word and the frame
  EXPECT_EQ(d[1].code, 7u);
}

TEST(Dispatch, AConversationOpenedByAddressTakesTheFirstSender) {
  RecordingConsumers c;
  c.OpenConversationWith(nullptr);
  EXPECT_EQ(Route(c, Payload(1, {5})), Kinds{"call"});
  // From now on it belongs to that sender: another peer's message opens a new one.
  PeerRef other = Sender();
  other.user_id[0] = 1;
  const auto p = Payload(1, {5});
  DispatchPayload(c.Set(), p.data(), p.size(), other);
  EXPECT_EQ(c.Count("open"), 1u);
  EXPECT_EQ(c.Count("call"), 1u);
}

TEST(Dispatch, MissingConsumersAreSkipped) {
  NetworkConsumers none;
  for (uint32_t inner : {0u, 1u, 2u}) {
    const auto p = Payload(inner, {1});
    DispatchPayload(none, p.data(), p.size(), Sender());
  }
  CallChannel channel;  // without handlers: counted only
  const auto p = Payload(8, {});
  ChannelReceive(channel, p.data(), p.size());
  EXPECT_EQ(channel.messages_received.load(), 1u);
  EXPECT_EQ(channel.voice_frames_received.load(), 1u);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(ConsumerSlot, ReplacingWaitsForCallbacksThatUseTheOldSet) {
  ConsumerSlot slot;
  test::RecordingConsumers old_set;
  slot.Set(old_set.Set());
  std::atomic<bool> replaced{false};
  std::thread replacer;
  {
    ConsumerSlot::Lease lease(slot);  // a callback in flight
    EXPECT_EQ((*lease).dht_messages, static_cast<DhtMessageConsumer*>(&old_set));
    replacer = std::thread([&] {
      slot.Set(NetworkConsumers{});
      replaced.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(replaced.load());
  }
  replacer.join();
  EXPECT_TRUE(replaced.load());
  ConsumerSlot::Lease lease(slot);
  EXPECT_EQ((*lease).dht_messages, nullptr);
}

}  // namespace
}  // namespace orv
