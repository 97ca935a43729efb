// The attribute texts shared by the network, contacts and downloads files:
// dotted IPv4 addresses, decimal ports and UserIds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// "%d.%d.%d.%d", first number from the top byte.
std::string DottedIpv4Text(uint32_t ipv4);

// Four decimal numbers 0-255 separated by dots and nothing else give the
// address (first number in the top byte); anything else gives 0.
uint32_t ReadDottedIpv4(std::string_view text);

// A decimal port 0-65535; anything else gives 0.
uint16_t ReadPort(std::string_view text);

// Up to eight hexadecimal words separated by white space, word 0 first, into
// `user_id` (eight words, cleared first). Reading stops at the first text
// that is not a word of one to eight hexadecimal digits; words not read
// stay 0.
void ReadUserIdText(std::string_view text, uint32_t* user_id);

}  // namespace orv
