#include "app/platform/global_hot_keys.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QGuiApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/platform/posix/x11_connection.h"

namespace quillon {

namespace {

struct KeySymbolsFree {
    void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};

template <typename T>
struct Freed {
    void operator()(T* p) const { std::free(p); }
};

// The modifier bit (Mod1..Mod5, Shift, Lock, Control) a key symbol is mapped to; 0 if none.
uint16_t ModifierOf(xcb_connection_t* c, xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
    std::unique_ptr<xcb_keycode_t, Freed<xcb_keycode_t>> codes(
        xcb_key_symbols_get_keycode(symbols, keysym));
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, Freed<xcb_get_modifier_mapping_reply_t>>
        mapping(xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!codes || !mapping) {
        return 0;
    }
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            for (const xcb_keycode_t* code = codes.get(); *code != XCB_NO_SYMBOL; ++code) {
                if (map[modifier * perModifier + i] == *code) {
                    return static_cast<uint16_t>(1u << modifier);
                }
            }
        }
    }
    return 0;
}

bool WaylandSession() {
    return QGuiApplication::platformName() == "wayland" ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == "wayland";
}

}  // namespace

// The grabs on the X root window, released when the keys go.
struct GlobalHotKeys::Keys {
    struct Grab {
        uint8_t keycode;
        uint16_t modifiers;
    };
    ~Keys() {
        if (x11) {
            for (const Grab& grab : grabs) {
                xcb_ungrab_key(x11->Get(), grab.keycode, x11->Root(), grab.modifiers);
            }
            xcb_flush(x11->Get());
        }
    }
    // Every NumLock / CapsLock variant of Ctrl+Alt+key; all or none.
    bool GrabKeys(const std::vector<uint8_t>& keys, const char* name, uint16_t numLock);
    void ReadEvents(GlobalHotKeys& owner);

    std::unique_ptr<X11Connection> x11;
    std::vector<Grab> grabs;
    std::vector<uint8_t> reloadKeys;
    std::vector<uint8_t> autoKeys;
    uint16_t ctrlAlt = 0;
    uint16_t ignored = 0;  // CapsLock and NumLock
};

GlobalHotKeys::GlobalHotKeys(QObject* parent) : QObject(parent), keys_(std::make_unique<Keys>()) {
    setObjectName("GlobalHotKeys");
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::Register() {
    if (WaylandSession()) {
        std::fprintf(stderr,
                     "quillon: no system-wide hot keys in a Wayland session; Ctrl+Alt+R and "
                     "Ctrl+Alt+A work while the window has the focus\n");
        return false;
    }
    Keys& k = *keys_;
    k.x11 = X11Connection::Open();
    if (!k.x11) {
        std::fprintf(stderr,
                     "quillon: no X display for the system-wide hot keys; Ctrl+Alt+R and "
                     "Ctrl+Alt+A work while the window has the focus\n");
        return false;
    }
    xcb_connection_t* c = k.x11->Get();
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsFree> symbols(xcb_key_symbols_alloc(c));
    const uint16_t alt = ModifierOf(c, symbols.get(), XK_Alt_L);
    const uint16_t numLock = ModifierOf(c, symbols.get(), XK_Num_Lock);
    k.ctrlAlt =
        static_cast<uint16_t>(XCB_MOD_MASK_CONTROL | (alt != 0 ? alt : uint16_t{XCB_MOD_MASK_1}));
    k.ignored = static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock);

    bool all = true;
    std::unique_ptr<xcb_keycode_t, Freed<xcb_keycode_t>> reload(
        xcb_key_symbols_get_keycode(symbols.get(), XK_r));
    std::unique_ptr<xcb_keycode_t, Freed<xcb_keycode_t>> autoKey(
        xcb_key_symbols_get_keycode(symbols.get(), XK_a));
    for (const xcb_keycode_t* code = reload.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        k.reloadKeys.push_back(*code);
    }
    for (const xcb_keycode_t* code = autoKey.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        k.autoKeys.push_back(*code);
    }
    all = k.GrabKeys(k.reloadKeys, "Ctrl+Alt+R", numLock) && all;
    all = k.GrabKeys(k.autoKeys, "Ctrl+Alt+A", numLock) && all;

    auto* notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { keys_->ReadEvents(*this); });
    k.ReadEvents(*this);  // events read along with the grab replies
    return all;
}

bool GlobalHotKeys::Keys::GrabKeys(const std::vector<uint8_t>& keys, const char* name,
                                   uint16_t numLock) {
    if (keys.empty()) {
        std::fprintf(stderr, "quillon: hot key %s: no key for it on this keyboard\n", name);
        return false;
    }
    xcb_connection_t* c = x11->Get();
    std::vector<uint16_t> variants = {0, XCB_MOD_MASK_LOCK, numLock,
                                      static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
    std::sort(variants.begin(), variants.end());
    variants.erase(std::unique(variants.begin(), variants.end()), variants.end());
    bool held = true;
    std::vector<Grab> taken;
    for (uint8_t keycode : keys) {
        for (uint16_t variant : variants) {
            const auto modifiers = static_cast<uint16_t>(ctrlAlt | variant);
            xcb_generic_error_t* error = xcb_request_check(
                c, xcb_grab_key_checked(c, 1, x11->Root(), modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC));
            if (error != nullptr) {
                std::free(error);
                held = false;
            } else {
                taken.push_back({keycode, modifiers});
            }
        }
    }
    if (!held) {
        // Another application holds the key: release what was taken so that no variant
        // half works, and say so once.
        for (const Grab& grab : taken) {
            xcb_ungrab_key(c, grab.keycode, x11->Root(), grab.modifiers);
        }
        xcb_flush(c);
        std::fprintf(stderr,
                     "quillon: hot key %s is held by another application; it works only while "
                     "the window has the focus\n",
                     name);
        return false;
    }
    grabs.insert(grabs.end(), taken.begin(), taken.end());
    return true;
}

void GlobalHotKeys::Keys::ReadEvents(GlobalHotKeys& owner) {
    xcb_connection_t* c = x11->Get();
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        std::unique_ptr<xcb_generic_event_t, Freed<xcb_generic_event_t>> owned(event);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS) {
            continue;
        }
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if ((press->state & ~ignored) != ctrlAlt) {
            continue;
        }
        const auto is = [press](const std::vector<uint8_t>& keys) {
            return std::find(keys.begin(), keys.end(), press->detail) != keys.end();
        };
        if (is(reloadKeys)) {
            emit owner.reloadPressed();
        } else if (is(autoKeys)) {
            emit owner.autoPressed();
        }
    }
}

}  // namespace quillon
