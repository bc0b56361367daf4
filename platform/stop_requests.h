#pragma once

namespace quillon::platform {

// Stops a parent passes on other than as a signal. On Windows a gang's station has no console
// of its own, so no Ctrl+C reaches it: the gang writes the number of the signal that stopped it
// into a pipe the station inherited (ChildProcess::Signal), and the station calls `onStop`
// with that number, on a thread of its own, as its signal handler would be called. Nothing on
// POSIX, where the signal itself comes.
void WatchStopRequests(void (*onStop)(int signal));

}  // namespace quillon::platform
