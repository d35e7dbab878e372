#pragma once

#include <string>

// The stable name a host opens: a symbolic link to the simulator's current
// pseudo-terminal, as a udev rule gives a USB bridge a name of its own.
namespace PortLink {

// Replaces whatever link is at `link`; false, with a line on standard error,
// when it cannot be made.
bool make(const std::string &link, const std::string &target);
// Removes the link only while it still leads to `target`.
void remove(const std::string &link, const std::string &target);

} // namespace PortLink
