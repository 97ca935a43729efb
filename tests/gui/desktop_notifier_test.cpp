#include "gui/desktop_notifier.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace orv {
namespace {

class FakeNotifications final : public NotificationBus {
 public:
  explicit FakeNotifications(bool server) : server_(server) {}
  bool Notify(const DesktopNotice& notice) override {
    if (server_) shown.push_back(notice);
    return server_;
  }
  std::vector<DesktopNotice> shown;

 private:
  bool server_;
};

TEST(DesktopNotifierTest, TheServerShowsANoticeAndTheTrayOnlyWithoutOne) {
  for (const bool server : {true, false}) {
    auto bus = std::make_unique<FakeNotifications>(server);
    FakeNotifications* seen = bus.get();
    std::vector<DesktopNotice> tray;
    DesktopNotifier notifier(std::move(bus), [&tray](const DesktopNotice& n) {
      tray.push_back(n);
      return true;
    });
    EXPECT_TRUE(notifier.Notify(DownloadFinishedNotice("report.txt")));
    EXPECT_EQ(seen->shown.size(), server ? 1u : 0u);
    ASSERT_EQ(tray.size(), server ? 0u : 1u);
    if (!server) {
      EXPECT_EQ(tray[0].body, "report.txt");
    }
  }
}

TEST(DesktopNotifierTest, NowhereToShowIsSaid) {
  DesktopNotifier none(std::make_unique<FakeNotifications>(false), [](const DesktopNotice&) { return false; });
  EXPECT_FALSE(none.Notify(ChatLineNotice("Bob - online", "hi")));
  DesktopNotifier no_tray(nullptr, nullptr);
  EXPECT_FALSE(no_tray.Notify(ChatLineNotice("Bob - online", "hi")));
}

TEST(DesktopNotifierTest, TheNoticesTexts) {
  const DesktopNotice call = IncomingCallNotice("Bob is calling\nAnswer call?");
  EXPECT_EQ(call.summary, "Incoming call");
  EXPECT_EQ(call.body, "Bob is calling");
  const DesktopNotice line = ChatLineNotice("Bob - online", "two\nlines");
  EXPECT_EQ(line.summary, "Bob - online");
  EXPECT_EQ(line.body, "two\nlines");
  EXPECT_EQ(DownloadFinishedNotice("photo.png").summary, "File received");
}

}  // namespace
}  // namespace orv
