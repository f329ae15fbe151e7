// A second X client: tries to grab Esc and F10 on the root window the way any program would.
// Exits 0 when every grab is refused (someone else holds the keys), 1 when one succeeds.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>
#include <initializer_list>

static bool refused = false;
static int onError(Display*, XErrorEvent* e) {
    if (e->error_code == BadAccess) refused = true;
    return 0;
}

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "grab_probe: no display\n");
        return 2;
    }
    XSetErrorHandler(onError);
    int taken = 0;
    for (KeySym sym : {XK_Escape, XK_F10}) {
        refused = false;
        const int code = XKeysymToKeycode(dpy, sym);
        XGrabKey(dpy, code, 0, DefaultRootWindow(dpy), True, GrabModeAsync, GrabModeAsync);
        XSync(dpy, False);
        if (!refused) {
            std::printf("grab_probe: grabbed %s\n", XKeysymToString(sym));
            ++taken;
        }
    }
    XCloseDisplay(dpy);
    return taken == 0 ? 0 : 1;
}
