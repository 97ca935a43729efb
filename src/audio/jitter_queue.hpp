// The jitter queue of a call channel: 14 slots filled from slot 0 upwards.
// Play-out starts once the 8th frame waits (or the queue is full) and takes
// frames from slot 0; when it runs dry the playing flag drops and the
// decoder conceals until 8 frames have gathered again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/call_channel.hpp"

namespace orv {

constexpr size_t kPlayOutSlot = 7;  // the 8th frame starts play-out

// Code 8 from the peer: `data` starts with the code word, the frame
// follows. Stored only in "IN VOICE" and when it fits one of the 14 slots;
// frames of no byte or more than 200 bytes are dropped, as no encoder makes
// them. Makes one allocation, the copy of the frame.
void QueueVoiceFrame(CallChannel& channel, const uint8_t* data, size_t length);

// The next frame to play, moved into `frame` (emptied when there is none):
// only in "IN VOICE" with the playing flag set. An empty queue clears the
// flag. Voice thread only.
void TakeVoiceFrame(CallChannel& channel, std::vector<uint8_t>& frame);

}  // namespace orv
