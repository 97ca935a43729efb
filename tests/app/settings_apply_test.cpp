#include "app/settings_apply.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/recording_settings_program.hpp"

namespace orv {
namespace {

using Events = std::vector<std::string>;
using test::RecordingProgram;

// The steps every OK runs, whatever changed (defaults: AGC on, the system
// switches off, port 31265).
Events Always(const char* microphone = "default") {
  return {"agc 1", "replace", std::string("audio ") + microphone, "autostart 0", "prevent sleep 0",
          "close firewall 31265"};
}

Events Then(Events first, const Events& rest) {
  first.insert(first.end(), rest.begin(), rest.end());
  return first;
}

TEST(ApplyEditedSettings, EachChangeHasItsEffectsInTheirOrder) {
  struct Case {
    const char* what;
    std::function<void(Settings&)> edit;
    std::function<void(RecordingProgram&)> script;
    Events events;
  };
  const Case cases[] = {
      {"only privacy: nothing mapped or loaded, the system switches again",
       [](Settings& s) {
         s.AllowAnyone = false;
         s.SaveChatToFile = true;
       },
       nullptr, Always()},
      {"UPnP off: the old port's mapping goes", [](Settings& s) { s.EnableUPnP = false; }, nullptr,
       Then({"remove 31265"}, Always())},
      {"UPnP off with a new port: still the old port's mapping goes",
       [](Settings& s) {
         s.EnableUPnP = false;
         s.RemotePort = 40000;
       },
       nullptr, Then({"remove 31265"}, Always())},
      {"remote port with UPnP on: the new port is mapped", [](Settings& s) { s.RemotePort = 40000; }, nullptr,
       Then({"map 40000"}, Always())},
      {"each port setting counts",
       [](Settings& s) {
         s.LocalPort = 5000;
         s.OpenFirewall = true;
       },
       nullptr,
       {"map 31265", "agc 1", "replace", "audio default", "autostart 0", "prevent sleep 0", "open firewall 5000"}},
      {"random port", [](Settings& s) { s.RandomPort = true; }, nullptr, Then({"map 31265"}, Always())},
      {"next available port", [](Settings& s) { s.NextAvailablePort = false; }, nullptr, Then({"map 31265"}, Always())},
      {"a failed mapping warns",
       [](Settings& s) { s.RemotePort = 40000; }, [](RecordingProgram& p) { p.map_result = false; },
       Then({"map 40000", "Warning: Can't setup UPnP (warning)"}, Always())},
      {"a failed removal warns",
       [](Settings& s) { s.EnableUPnP = false; }, [](RecordingProgram& p) { p.remove_result = false; },
       Then({"remove 31265", "Warning: Can't disable UPnP (warning)"}, Always())},
      {"log path: the log reopens", [](Settings& s) { s.Log = "/p/other.txt"; }, nullptr,
       Then({"reopen log /p/other.txt 0"}, Always())},
      {"EnableLog: the log reopens", [](Settings& s) { s.EnableLog = true; }, nullptr,
       Then({"reopen log /p/log.txt 1"}, Always())},
      {"log size alone: no reopening", [](Settings& s) { s.LogSize = 5; }, nullptr, Always()},
      {"everything at once, in the fixed order",
       [](Settings& s) {
         s.RemotePort = 1;
         s.Key = "/p/other.key";
         s.Log = "/p/other.txt";
         s.Users = "/p/other.xml";
         s.AGC = false;
         s.Microphone = "Headset";
         s.Autostart = true;
         s.PreventSleep = true;
         s.OpenFirewall = true;
       },
       nullptr,
       {"map 1", "load key /p/other.key", "reopen log /p/other.txt 0", "load network /p/other.xml", "agc 0", "replace",
        "audio Headset", "autostart 1", "prevent sleep 1", "open firewall 31265"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Settings live;
    live.Key = "/p/orv.key";
    live.Log = "/p/log.txt";
    live.Users = "/p/user.xml";
    Settings edited = live;
    c.edit(edited);
    RecordingProgram program;
    if (c.script) c.script(program);
    ApplyEditedSettings(program, program, live, edited);
    EXPECT_EQ(program.events, c.events);
    EXPECT_EQ(program.replaced, edited);
  }
}

// The port search of the mapping moves the copy's RemotePort on; that port
// is what the live settings keep (and the file at shutdown).
TEST(ApplyEditedSettings, TheLiveSettingsKeepThePortTheMappingFound) {
  Settings live;
  Settings edited = live;
  edited.RemotePort = 40000;
  RecordingProgram program;
  program.port_found = 40002;
  ApplyEditedSettings(program, program, live, edited);
  EXPECT_EQ(program.replaced.RemotePort, 40002);
}

}  // namespace
}  // namespace orv
