#include "app/platform/posix/x11_connection.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace quillon {

namespace {

template <typename Reply>
struct Freed {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, Freed<Reply>>;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<std::string> TextProperty(xcb_connection_t* c, xcb_window_t window,
                                        xcb_atom_t property, xcb_atom_t type) {
    if (property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto* text = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(text, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_window_t window) {
    ReplyPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree) {
        return {};
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::Open() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return nullptr;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(connection, screens.data->root));
}

X11Connection::~X11Connection() {
    xcb_disconnect(connection_);
}

bool X11TopLevelWindowTitled(const std::string& title) {
    const auto x11 = X11Connection::Open();
    if (!x11) {
        return false;
    }
    xcb_connection_t* c = x11->Get();
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
    const auto titled = [&](xcb_window_t window) {
        return TextProperty(c, window, netName, utf8) == title ||
               TextProperty(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) == title;
    };
    // Top-level windows are the root's children; under a window manager that frames them,
    // the client window is one level further down.
    for (xcb_window_t top : Children(c, x11->Root())) {
        if (titled(top)) {
            return true;
        }
        for (xcb_window_t framed : Children(c, top)) {
            if (titled(framed)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace quillon
