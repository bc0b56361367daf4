#include "tests/shell/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace quillon::testing {

XServer* XServer::Shared() {
    static bool tried = false;
    static std::unique_ptr<XServer> server;
    if (!tried) {
        tried = true;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return nullptr;
        }
        const pid_t pid = fork();
        if (pid == 0) {
            // Only the write end reaches Xvfb, as the fd it writes its display number to.
            const int out = dup(fds[1]);
            const std::string fd = std::to_string(out);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
                   "-screen", "0", "800x600x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (pid > 0 && poll(&wait, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
            number.push_back(c);
        }
        ::close(fds[0]);
        if (pid <= 0) {
            return nullptr;
        }
        if (number.empty()) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            return nullptr;
        }
        server.reset(new XServer(pid, ":" + number));
        setenv("DISPLAY", server->display_.c_str(), 1);
        // The number comes as the server starts; it takes clients a moment later.
        for (int attempt = 0; attempt < 100; ++attempt) {
            xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
            const bool up = xcb_connection_has_error(probe) == 0;
            xcb_disconnect(probe);
            if (up) {
                break;
            }
            usleep(50'000);
        }
        unsetenv("XDG_SESSION_TYPE");
    }
    return server.get();
}

XServer::~XServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

bool XServer::Keys(const std::string& keys) const {
    QProcess xdotool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(display_));
    xdotool.setProcessEnvironment(environment);
    xdotool.start("xdotool", {"key", QString::fromStdString(keys)});
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
}

ClientWindow::ClientWindow(const std::string& title) {
    connection_ = xcb_connect(nullptr, nullptr);
    if (const int error = xcb_connection_has_error(connection_); error != 0) {
        xcb_disconnect(connection_);
        throw std::runtime_error("no X server for a client window (xcb error " +
                                 std::to_string(error) + ")");
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 10, 10, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, static_cast<uint32_t>(title.size()), title.data());
    xcb_map_window(connection_, window_);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

ClientWindow::~ClientWindow() {
    xcb_disconnect(connection_);
}

void ClientWindow::Focus() {
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void ClientWindow::GrabCtrlAlt(char key) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, static_cast<xcb_keysym_t>(key));
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    for (xcb_keycode_t* code = codes; code && *code != XCB_NO_SYMBOL; ++code) {
        xcb_grab_key(connection_, 1, screen->root, XCB_MOD_MASK_ANY, *code, XCB_GRAB_MODE_ASYNC,
                     XCB_GRAB_MODE_ASYNC);
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace quillon::testing
