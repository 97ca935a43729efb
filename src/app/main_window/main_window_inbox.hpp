// How worker threads reach the main window's controller: they post, and the
// controller runs the event on the interface thread. The receive thread
// hands connection requests (call channel code 0) and users found by name
// here; timer 1 drives the one-second tick.
//
// The controller must outlive the dispatcher's last task: stop the timer
// and the dispatcher before the controller goes.
#pragma once

#include <cstdint>

#include "app/dispatcher.hpp"
#include "app/main_window/main_window_controller.hpp"

namespace orv {

inline constexpr TimerId kMainWindowTimer = 1;
inline constexpr uint32_t kMainTickMs = 1000;

class MainWindowInbox {
 public:
  MainWindowInbox(Dispatcher& dispatcher, MainWindowController& controller)
      : dispatcher_(dispatcher), controller_(controller) {}

  // Timer 1: MainTick every 1000 ms; StopMainTimer at shutdown.
  bool StartMainTimer();
  void StopMainTimer();

  // From any thread.
  void PostConnectionRequest(const PeerRef& requester);
  void PostUserFound(const uint32_t* user_id);

 private:
  Dispatcher& dispatcher_;
  MainWindowController& controller_;
};

}  // namespace orv
