// The device lists of the settings dialog: "default" (the system's default
// device) followed by the name of every device, and the entry a stored
// device name selects.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

inline constexpr std::string_view kDefaultDeviceEntry = "default";

// "default", then `device_names` in their order.
std::vector<std::string> DeviceListEntries(const std::vector<std::string>& device_names);

// The first entry that begins with `stored`, compared without regard to
// letter case (ASCII); entry 0 ("default") when none does.
size_t SelectDeviceEntry(const std::vector<std::string>& entries, std::string_view stored);

}  // namespace orv
