#pragma once

#include <string>

namespace quillon::sim {

// A listening Unix stream socket at `path`, reachable by this user only (0600 whatever the
// umask). It appears under its name only once it listens, so a watcher that sees it can
// connect at once. A socket left behind by a daemon that did not stop cleanly is replaced;
// one that another daemon serves, or a path that is no socket, is refused. Throws
// std::runtime_error naming the path.
int ListenOn(const std::string& path);

// A client connection to the socket at `path`, or -1.
int ConnectTo(const std::string& path);

}  // namespace quillon::sim
