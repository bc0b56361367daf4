#pragma once

#include <memory>
#include <string>

struct xcb_connection_t;

namespace quillon {

// A connection of our own to the X server named by DISPLAY, independent of the toolkit's
// platform (the window may run on Wayland or offscreen while an X server is there).
class X11Connection {
public:
    // Nothing when there is no DISPLAY or the server cannot be reached.
    static std::unique_ptr<X11Connection> Open();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* Get() const { return connection_; }
    unsigned Root() const { return root_; }

private:
    X11Connection(xcb_connection_t* connection, unsigned root)
        : connection_(connection), root_(root) {}
    xcb_connection_t* connection_;
    unsigned root_;
};

// True when a top-level window with exactly this title exists on the X display.
bool X11TopLevelWindowTitled(const std::string& title);

}  // namespace quillon
