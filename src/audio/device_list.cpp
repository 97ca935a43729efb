#include "audio/device_list.hpp"

namespace orv {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> DeviceListEntries(const std::vector<std::string>& device_names) {
  std::vector<std::string> entries;
  entries.reserve(device_names.size() + 1);
  entries.emplace_back(kDefaultDeviceEntry);
  entries.insert(entries.end(), device_names.begin(), device_names.end());
  return entries;
}

size_t SelectDeviceEntry(const std::vector<std::string>& entries, std::string_view stored) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (StartsWithIgnoringCase(entries[i], stored)) return i;
  }
  return 0;
}

}  // namespace orv
