#pragma once

#include <functional>

// Lets time pass while the application keeps handling its events.
// Blocks in the event dispatcher between events instead of spinning, measures
// time on a monotonic clock, and gives up at once when the application is
// quitting (a closed main window must end the program promptly).
namespace EventPump {

enum class Outcome { Done, TimedOut, Quitting };

// Returns Done as soon as `done` holds (checked before any event is processed
// and again after each batch of events), TimedOut once `ms` have passed, or
// Quitting when the application has been asked to quit. Without a predicate
// it simply waits at least `ms`.
Outcome waitUntil(int ms, const std::function<bool()> &done = {});

// True once the application has been asked to quit. A wait that ends early on
// its own (its condition already held) cannot tell, so senders ask before
// each frame goes out.
bool applicationQuitting();

} // namespace EventPump
