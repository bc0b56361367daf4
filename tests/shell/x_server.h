#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

struct xcb_connection_t;

namespace quillon::testing {

// An Xvfb of this test process, started on first use and stopped when the process ends.
// DISPLAY points at it while it runs.
class XServer {
public:
    // The running server, or nothing when none can be started (no Xvfb installed).
    static XServer* Shared();
    ~XServer();

    const std::string& Display() const { return display_; }

    // Sends keys as a keyboard would (xdotool key ...); false when xdotool cannot run.
    bool Keys(const std::string& keys) const;

private:
    XServer(pid_t pid, std::string display) : pid_(pid), display_(std::move(display)) {}
    pid_t pid_;
    std::string display_;
};

// A top-level window of another X client, mapped, with a title; it goes with the object.
class ClientWindow {
public:
    explicit ClientWindow(const std::string& title);
    ~ClientWindow();
    ClientWindow(const ClientWindow&) = delete;
    ClientWindow& operator=(const ClientWindow&) = delete;

    // Gives this window the keyboard focus.
    void Focus();
    // Grabs Ctrl+Alt+<key> (any lock state) for this client, as another program might.
    void GrabCtrlAlt(char key);

private:
    xcb_connection_t* connection_;
    unsigned window_ = 0;
};

}  // namespace quillon::testing
