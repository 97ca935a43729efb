#include "transfer/transfer_protocol.hpp"

#include "crypto/byte_order.hpp"

namespace orv {

void StoreMessageHeader(uint8_t* out, uint8_t code, uint32_t id, uint64_t number) {
  StoreLe32(out, TransferWord(code, id));
  StoreLe32(out + 4, static_cast<uint32_t>(number >> 32));
  StoreLe32(out + 8, static_cast<uint32_t>(number));
}

uint64_t LoadMessageNumber(const uint8_t* message) {
  return static_cast<uint64_t>(LoadLe32(message + 4)) << 32 | LoadLe32(message + 8);
}

CodeOrigin OriginOf(uint8_t code) {
  switch (code) {
    case kFileRequest:
    case kFileBlock:
      return CodeOrigin::kSender;
    case kFileCancel:
    case kFileCancelDone:
      return CodeOrigin::kEither;
    default:
      return CodeOrigin::kReceiver;
  }
}

}  // namespace orv
