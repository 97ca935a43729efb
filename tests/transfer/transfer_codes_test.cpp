// Every transfer code in every state, as a table: the state it leaves the
// transfer in and what this side answers.
#include <gtest/gtest.h>

#include "engine_fixture.hpp"

namespace orv {
namespace {

using test::Block;
using test::Control;
using test::EngineTest;
using test::Numbered;
using test::Request;

enum class Start { S0, S6, S2, S3, S4, S5, R1, R7, R2, R3, R4, R5 };

struct CodeCase {
  Start setup;
  uint8_t code;
  uint8_t state_after;
  std::set<uint8_t> answers;
};

std::ostream& operator<<(std::ostream& os, const CodeCase& c) {
  return os << "setup " << static_cast<int>(c.setup) << " code " << int{c.code};
}

class TransferCodes : public EngineTest, public ::testing::WithParamInterface<CodeCase> {
 protected:
  // Brings one transfer into the state the setup names; its size in `size`.
  uint32_t Prepare(Start setup, uint32_t& id, uint64_t& size) {
    uint32_t h = 0;
    const bool sending = setup <= Start::S5;
    if (sending) {
      size = setup == Start::S4 ? 316 : 316 * 20;
      h = Offer(test::Pattern(size), id);
      switch (setup) {
        case Start::S6: Receive(Control(kFileAccept, id)); break;
        case Start::S2: engine->CancelFileTransfer(h); break;
        case Start::S3: Receive(Control(kFileRefuse, id)); break;
        case Start::S4:
          Receive(Control(kFileAccept, id));
          Receive(Numbered(kFileBlockAck, id, 0));
          break;
        case Start::S5: Tick(kActiveTimeoutTicks); break;
        default: break;
      }
    } else {
      id = 0x00abcdef;
      size = setup == Start::R4 ? 1 : 316 * 3;
      h = Offered(id, size);
      switch (setup) {
        case Start::R7: engine->AcceptIncomingFile(h); break;
        case Start::R2:
          engine->AcceptIncomingFile(h);
          engine->CancelFileTransfer(h);
          break;
        case Start::R3: Receive(Control(kFileCancel, id)); break;
        case Start::R4:
          engine->AcceptIncomingFile(h);
          Receive(Block(id, 0, "x"));
          break;
        case Start::R5: Tick(600); break;
        default: break;
      }
    }
    sender.Take();
    return h;
  }
  std::vector<uint8_t> Message(uint8_t code, uint32_t id, uint64_t size) {
    switch (code) {
      case kFileRequest: return Request(id, size, u"report.txt");
      case kFileBlock: return Block(id, 0, test::Pattern(BlockLength(size, 0)));
      case kFileBlockAck: return Numbered(kFileBlockAck, id, 0);
      default: return Control(code, id);
    }
  }
};

TEST_P(TransferCodes, LeaveTheStateAndAnswerAsSpecified) {
  const CodeCase& c = GetParam();
  uint32_t id = 0;
  uint64_t size = 0;
  const uint32_t h = Prepare(c.setup, id, size);
  Receive(Message(c.code, id, size));
  EXPECT_EQ(State(h), c.state_after);
  EXPECT_EQ(SentCodes(), c.answers);
}

INSTANTIATE_TEST_SUITE_P(
    Sender, TransferCodes,
    ::testing::Values(CodeCase{Start::S0, kFileWaiting, 0, {}}, CodeCase{Start::S0, kFileAccept, 6, {kFileBlock}},
                      CodeCase{Start::S0, kFileRefuse, 3, {}}, CodeCase{Start::S0, kFileBlockAck, 0, {kFileCancel}},
                      CodeCase{Start::S0, kFileCancel, 3, {kFileCancelDone}}, CodeCase{Start::S0, kFileCancelDone, 0, {}},
                      CodeCase{Start::S0, kFileFinished, 0, {}}, CodeCase{Start::S6, kFileAccept, 6, {}},
                      CodeCase{Start::S6, kFileRefuse, 3, {}}, CodeCase{Start::S6, kFileBlockAck, 6, {kFileBlock}},
                      CodeCase{Start::S6, kFileCancel, 3, {kFileCancelDone}}, CodeCase{Start::S6, kFileCancelDone, 6, {}},
                      CodeCase{Start::S6, kFileFinished, 4, {}}, CodeCase{Start::S2, kFileCancelDone, 3, {}},
                      CodeCase{Start::S2, kFileCancel, 3, {kFileCancelDone}}, CodeCase{Start::S2, kFileBlockAck, 2, {kFileCancel}},
                      CodeCase{Start::S2, kFileRefuse, 3, {}}, CodeCase{Start::S3, kFileCancel, 3, {kFileCancelDone}},
                      CodeCase{Start::S3, kFileBlockAck, 3, {kFileCancel}}, CodeCase{Start::S3, kFileAccept, 3, {}},
                      // A finished transfer stays finished: late acknowledgements, refusals and
                      // cancels change nothing, and no cancel goes back.
                      CodeCase{Start::S4, kFileBlockAck, 4, {}}, CodeCase{Start::S4, kFileCancel, 4, {kFileCancelDone}},
                      CodeCase{Start::S4, kFileRefuse, 4, {}}, CodeCase{Start::S4, kFileFinished, 4, {}},
                      CodeCase{Start::S5, kFileAccept, 5, {}}, CodeCase{Start::S5, kFileCancel, 5, {kFileCancelDone}}));

INSTANTIATE_TEST_SUITE_P(
    Receiver, TransferCodes,
    ::testing::Values(CodeCase{Start::R1, kFileRequest, 1, {kFileWaiting}}, CodeCase{Start::R1, kFileBlock, 1, {kFileCancel}},
                      CodeCase{Start::R1, kFileCancel, 3, {kFileCancelDone}}, CodeCase{Start::R1, kFileCancelDone, 1, {}},
                      CodeCase{Start::R7, kFileRequest, 7, {kFileAccept}}, CodeCase{Start::R7, kFileBlock, 7, {kFileBlockAck}},
                      CodeCase{Start::R7, kFileCancel, 3, {kFileCancelDone}}, CodeCase{Start::R7, kFileCancelDone, 7, {}},
                      CodeCase{Start::R2, kFileCancelDone, 3, {}}, CodeCase{Start::R2, kFileBlock, 2, {kFileCancel}},
                      CodeCase{Start::R2, kFileRequest, 2, {kFileRefuse}}, CodeCase{Start::R3, kFileRequest, 3, {kFileRefuse}},
                      CodeCase{Start::R3, kFileBlock, 3, {kFileCancel}}, CodeCase{Start::R4, kFileBlock, 4, {kFileFinished}},
                      // The finished download is not turned into a cancelled one.
                      CodeCase{Start::R4, kFileCancel, 4, {kFileCancelDone}}, CodeCase{Start::R4, kFileRequest, 4, {kFileRefuse}},
                      CodeCase{Start::R5, kFileBlock, 5, {kFileCancel}}, CodeCase{Start::R5, kFileCancel, 5, {kFileCancelDone}}));

// Codes for transfers nobody knows: blocks and acknowledgements are
// answered with a cancel, a cancel is confirmed, the rest is ignored.
TEST_F(EngineTest, UnknownTransfersGetTheAnswersOfTheTable) {
  const struct {
    std::vector<uint8_t> message;
    std::set<uint8_t> answers;
  } cases[] = {
      {Control(kFileWaiting, 5), {}},
      {Control(kFileAccept, 5), {}},
      {Control(kFileRefuse, 5), {}},
      {Block(5, 0, "abc"), {kFileCancel}},
      {Numbered(kFileBlockAck, 5, 0), {kFileCancel}},
      {Control(kFileCancel, 5), {kFileCancelDone}},
      {Control(kFileCancelDone, 5), {}},
      {Control(kFileFinished, 5), {}},
  };
  for (const auto& c : cases) {
    Receive(c.message);
    EXPECT_EQ(SentCodes(), c.answers) << int{c.message[0]};
  }
  EXPECT_TRUE(engine->ListTransfers().empty());
}

}  // namespace
}  // namespace orv
