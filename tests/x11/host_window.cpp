// Another client's window for the screen saver to draw into, as XScreenSaver gives one:
// a grey window of the given size at 50,50. Prints its id, then lives until killed.
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int w = argc > 1 ? std::atoi(argv[1]) : 320, h = argc > 2 ? std::atoi(argv[2]) : 240;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 2;
    XSetWindowAttributes a = {};
    a.override_redirect = True;  // stays where it is put, window manager or not
    a.background_pixel = 0x808080;
    const Window win =
        XCreateWindow(dpy, DefaultRootWindow(dpy), 50, 50, w, h, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    XMapWindow(dpy, win);
    XSync(dpy, False);
    std::printf("0x%lx\n", win);
    std::fflush(stdout);
    for (;;) pause();
}
