#include "app/port_mapping_steps.hpp"

#include <gtest/gtest.h>

#include "app/scripted_ui_port.hpp"
#include "netsetup/scripted_upnp_client.hpp"
#include "support/log_capture.hpp"

namespace orv {
namespace {

using Message = ScriptedUiPort::Message;
using test::ScriptedUpnpClient;

const Message kCannotSetup{"Warning", "Can't setup UPnP", MessageIcon::kWarning, false};
const Message kCannotDisable{"Warning", "Can't disable UPnP", MessageIcon::kWarning, false};

class PortMappingStepsTest : public ::testing::Test {
 protected:
  test::LogCapture log_;
  ScriptedUiPort ui_;
  ScriptedUpnpClient client_;
  PortMappingState state_;
  Settings settings_;
};

TEST_F(PortMappingStepsTest, StartUpMapsWhenEnabledAndLogsUnderUpnp) {
  MapPortWhenEnabled(ui_, settings_, state_, client_);
  EXPECT_EQ(client_.added.size(), 1u);
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(log_.Messages("upnp"), std::vector<std::string>{"UPnP mapping was set successfully"});

  settings_.EnableUPnP = false;
  MapPortWhenEnabled(ui_, settings_, state_, client_);
  EXPECT_EQ(client_.discovery_waits.size(), 1u);  // not even a discovery
}

TEST_F(PortMappingStepsTest, AFailedMappingIsShownAndTheRunGoesOn) {
  client_.search = GatewaySearch::kNoDevice;
  MapPortWhenEnabled(ui_, settings_, state_, client_);
  EXPECT_EQ(ui_.messages(), std::vector<Message>{kCannotSetup});
}

TEST_F(PortMappingStepsTest, ShutdownRemovesOnlyWhenBothSwitchesAreSet) {
  const struct {
    bool cancel, enable;
    size_t deletes;
  } cases[] = {{true, true, 1}, {true, false, 0}, {false, true, 0}, {false, false, 0}};
  for (const auto& c : cases) {
    ScriptedUpnpClient client;
    settings_.CancelUPnPonExit = c.cancel;
    settings_.EnableUPnP = c.enable;
    RemovePortMappingAtExit(settings_, state_, client);
    EXPECT_EQ(client.deleted.size(), c.deletes) << c.cancel << c.enable;
  }
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(PortMappingStepsTest, SettingsChangeMapsTheNewPortOrRemovesTheOldOne) {
  Settings live = settings_;
  live.RemotePort = 5000;
  client_.mapped = {"5000"};

  Settings edited = live;
  edited.AllowAnyone = !live.AllowAnyone;  // not a network setting: nothing happens
  ApplyPortMappingChange(ui_, live, edited, state_, client_);
  EXPECT_TRUE(client_.discovery_waits.empty());

  edited = live;
  edited.RemotePort = 6000;
  ApplyPortMappingChange(ui_, live, edited, state_, client_);
  ASSERT_EQ(client_.added.size(), 1u);
  EXPECT_EQ(client_.added[0].external_port, "6000");

  edited = live;
  edited.EnableUPnP = false;
  ApplyPortMappingChange(ui_, live, edited, state_, client_);
  ASSERT_EQ(client_.deleted.size(), 1u);
  EXPECT_EQ(client_.deleted[0].external_port, "5000");  // the live record's mapping
  EXPECT_TRUE(ui_.messages().empty());

  client_.mapped.clear();
  ApplyPortMappingChange(ui_, live, edited, state_, client_);
  EXPECT_EQ(ui_.messages(), std::vector<Message>{kCannotDisable});
}

}  // namespace
}  // namespace orv
