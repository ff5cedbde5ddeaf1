/* Pings a window as a window manager does (_NET_WM_PING) over and over for a
 * while, and reports the longest wait for an answer. The toolkit answers on
 * its user-interface thread, so a long wait is a stalled program. Only
 * without a window manager (it alone may redirect the root's events).
 * Usage: wmping WINDOW-ID SECONDS
 * Prints: "pings N answered M longest-ms L". Exit 1 when no ping came back. */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/select.h>
#include <time.h>

static double NowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: wmping WINDOW-ID SECONDS\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "wmping: cannot open the display\n");
        return 2;
    }
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    const double seconds = atof(argv[2]);
    const Window root = DefaultRootWindow(display);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    /* The answer comes to the root window, as a redirected client message. */
    XSelectInput(display, root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(display, False);

    const int fd = ConnectionNumber(display);
    const double end = NowMs() + seconds * 1000.0;
    double longest = 0;
    long sent = 0, answered = 0;
    while (NowMs() < end) {
        const long stamp = ++sent;
        XEvent event = {0};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)ping;
        event.xclient.data.l[1] = stamp;
        event.xclient.data.l[2] = (long)window;
        const double start = NowMs();
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
        int back = 0;
        /* Waits for this ping's answer, at most until the run's end + 5 s. */
        while (!back && NowMs() < end + 5000.0) {
            while (XPending(display)) {
                XEvent in;
                XNextEvent(display, &in);
                if (in.type == ClientMessage && in.xclient.message_type == protocols &&
                    (Atom)in.xclient.data.l[0] == ping && in.xclient.data.l[1] == stamp)
                    back = 1;
            }
            if (back) break;
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd, &set);
            struct timeval wait = {0, 20000};
            select(fd + 1, &set, NULL, NULL, &wait);
        }
        if (!back) break;
        ++answered;
        const double took = NowMs() - start;
        if (took > longest) longest = took;
        struct timespec pause = {0, 50 * 1000000L};
        nanosleep(&pause, NULL);
    }
    printf("pings %ld answered %ld longest-ms %.0f\n", sent, answered, longest);
    XCloseDisplay(display);
    return answered > 0 ? 0 : 1;
}
