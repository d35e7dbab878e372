#pragma once

// What lidar-cli's exit status says, the same for every command, so a script
// can tell a failed sensor from a missing one without reading any text.
namespace ExitCode {

constexpr int kSuccess = 0;     // done; a run's PASS
constexpr int kRunFailed = 1;   // a run's FAIL
constexpr int kUsage = 2;       // unknown command or option, missing or bad value
constexpr int kPort = 3;        // the port cannot be opened
constexpr int kDevice = 4;      // no answer in time, a refused block, the device gone
constexpr int kFile = 5;        // a file cannot be read or written
constexpr int kIncomplete = 6;  // a run INCOMPLETE
// 128 + the signal, as a shell reports a program a signal ended: 130 for
// SIGINT, 143 for SIGTERM.
constexpr int interrupted(int signal) { return 128 + signal; }

} // namespace ExitCode
