#include "platform/global_hotkeys.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <xcb/xcb.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace lanfeng {

namespace {
KeySym keySymFor(int virtualKey) {
    switch (virtualKey) {
        case 27: return XK_Escape;
        case 121: return XK_F10;
        default: return NoSymbol;
    }
}

Qt::Key qtKeyFor(int virtualKey) {
    switch (virtualKey) {
        case 27: return Qt::Key_Escape;
        case 121: return Qt::Key_F10;
        default: return Qt::Key_unknown;
    }
}

// Caps Lock and Num Lock count as modifiers to X: grab every combination of them so the
// key acts whatever the lock state.
constexpr unsigned kLockMasks[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

bool grabFailed = false;
int recordGrabError(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) grabFailed = true;
    return 0;
}
}  // namespace

GlobalHotKeys::GlobalHotKeys(QWidget* window) : QObject(window), window_(window) {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        display_ = x11->display();
        if (display_) {
            root_ = DefaultRootWindow(static_cast<Display*>(display_));
            qGuiApp->installNativeEventFilter(this);
        }
    }
}

GlobalHotKeys::~GlobalHotKeys() {
    releaseAll();
    if (display_) qGuiApp->removeNativeEventFilter(this);
}

bool GlobalHotKeys::registerKey(int virtualKey) {
    if (!display_) {
        auto* shortcut = new QShortcut(QKeySequence(qtKeyFor(virtualKey)), window_);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, virtualKey] { emit hotKey(virtualKey); });
        grabs_.push_back({virtualKey, 0, shortcut});
        return true;
    }
    auto* dpy = static_cast<Display*>(display_);
    const KeySym sym = keySymFor(virtualKey);
    if (sym == NoSymbol) return false;
    const unsigned keycode = XKeysymToKeycode(dpy, sym);
    if (keycode == 0) return false;
    XSync(dpy, False);
    grabFailed = false;
    auto previous = XSetErrorHandler(recordGrabError);
    for (unsigned mask : kLockMasks) XGrabKey(dpy, int(keycode), mask, root_, True, GrabModeAsync, GrabModeAsync);
    XSync(dpy, False);
    XSetErrorHandler(previous);
    if (grabFailed) {
        // Release whatever part of the grab did succeed; another client owns the key.
        for (unsigned mask : kLockMasks) XUngrabKey(dpy, int(keycode), mask, root_);
        XFlush(dpy);
        return false;
    }
    grabs_.push_back({virtualKey, keycode, nullptr});
    return true;
}

void GlobalHotKeys::releaseAll() {
    for (const Grab& g : grabs_) {
        if (g.shortcut) {
            delete g.shortcut;
        } else if (display_) {
            for (unsigned mask : kLockMasks)
                XUngrabKey(static_cast<Display*>(display_), int(g.keycode), mask, root_);
        }
    }
    if (display_ && !grabs_.empty()) XFlush(static_cast<Display*>(display_));
    grabs_.clear();
}

bool GlobalHotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != root_) return false;
    for (const Grab& g : grabs_) {
        if (!g.shortcut && g.keycode == key->detail) {
            emit hotKey(g.virtualKey);
            return true;
        }
    }
    return false;
}

}  // namespace lanfeng
