// The contact rows as `orvd ctl contacts` prints them: the status word
// names what the image index means.
#include <gtest/gtest.h>

#include "daemon/main_window_lines.hpp"

namespace orv {
namespace {

TEST(ContactRowFields, TheStatusWordMatchesTheImage) {
  const struct {
    int image;
    const char* status;
  } cases[] = {
      {kImageOnline, "status=online"},
      {kImageNotConnected, "status=offline"},
      {kImageNotAuthorized, "status=not_authorized"},
      {kImageAway, "status=away"},
  };
  for (const auto& c : cases) {
    ContactRow row;
    row.image = c.image;
    row.name = "Bob";
    const std::string text = ContactRowFields(row).text();
    EXPECT_NE(text.find(c.status), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace orv
