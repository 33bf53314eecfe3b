// dive_wmclose WINDOW: sends a window the close request that a window manager sends when the user
// clicks the close box (a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW). Bare Xvfb has
// no window manager to do it.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dive_wmclose WINDOW\n");
        return 2;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        std::fprintf(stderr, "dive_wmclose: no display\n");
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(pDisplay, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(pDisplay, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status status = XSendEvent(pDisplay, window, False, NoEventMask, &event);
    XSync(pDisplay, False);
    XCloseDisplay(pDisplay);
    return status != 0 ? 0 : 1;
}
