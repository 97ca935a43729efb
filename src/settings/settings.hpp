// The `Settings` record: every user preference of the telephone, one record
// per process. Fields are named exactly as the keys of the settings file.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

struct Settings {
  // [Files]
  std::string Key;               // key file
  std::string Users;             // network file: the stored DHT nodes
  std::string Likes;             // contacts file
  std::string Log;               // log file
  bool EnableLog = false;        // write the log to the log file
  int32_t LogSize = 100;         // largest log file size in megabytes; 0 or less never rotates
  std::string FileTransferPath;  // folder for received files
  std::string Downloads;         // downloads record
  std::string Seed;              // random seed file
  bool AutoReceiveFiles = false; // accept offered files without asking

  // [Password]; the remembered password itself (`Pass`) is not part of the
  // record: it goes to the password cache when read and comes from it when saved.
  uint32_t Time = 0;             // minutes a typed password stays in memory; 0 keeps it
  bool Remember = false;         // remember the password for ever and store it in `Pass`

  // [Network]
  uint16_t LocalPort = 31265;    // local UDP port
  uint16_t RemotePort = 31265;   // external port asked for in the UPnP mapping
  bool EnableUPnP = true;
  bool CancelUPnPonExit = true;  // remove the mapping at shutdown
  bool NextAvailablePort = true; // on a taken external port try the next ones
  bool RandomPort = false;       // use a random external port

  // [Privacy]
  bool AllowAnyone = true;             // accept text and voice from anyone
  bool AllowConnectionRequest = true;  // show communication requests
  bool AcceptFileTransfer = true;      // accept file transfers from anyone
  bool SaveChatToFile = false;

  // [System]
  int32_t AwayTimeout = 15;      // minutes of idle time before switching to away
  bool Autostart = false;        // start when the user logs in
  bool PreventSleep = false;     // keep the computer from sleeping
  bool OpenFirewall = false;     // open the local port in the firewall
  bool ShowSplashWindow = true;

  // [Audio]
  std::string Microphone = "default";  // capture device name, at most 31 characters
  std::string Speaker = "default";     // playback device name, at most 31 characters
  int32_t Volume = 66;           // speaker volume 0..100
  int32_t MicLevel = 66;         // microphone gain 0..100
  bool AGC = true;               // automatic gain control of the microphone
  int32_t RingVolume = 66;       // ringing volume 0..100

  // Playback device of the sound test in the settings dialog (-1 = the
  // default device). Never stored in the file.
  int32_t TestOutputDevice = -1;

  bool operator==(const Settings&) const = default;
};

}  // namespace orv
