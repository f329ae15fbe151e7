// A window of a known colour over the whole screen, below the program's windows, that prints
// "press BUTTON X Y" for every mouse press it receives.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const unsigned long colour = argc > 1 ? std::strtoul(argv[1], nullptr, 16) : 0xff0000;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 2;
    const int screen = DefaultScreen(dpy);
    XSetWindowAttributes a = {};
    a.override_redirect = True;
    a.background_pixel = colour;
    a.event_mask = ButtonPressMask;
    const Window win = XCreateWindow(
        dpy, RootWindow(dpy, screen), 0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen),
        0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
    XLowerWindow(dpy, win);
    XMapWindow(dpy, win);
    XSync(dpy, False);
    std::printf("ready 0x%lx\n", win);
    std::fflush(stdout);
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == ButtonPress) {
            std::printf("press %u %d %d\n", e.xbutton.button, e.xbutton.x_root, e.xbutton.y_root);
            std::fflush(stdout);
        }
    }
}
