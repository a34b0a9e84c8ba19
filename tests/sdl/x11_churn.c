/* A busy desktop in a few lines: bursts of X clients that come and go. In
   each burst it keeps up to HELD connections and replaces the oldest with a
   new one, without pause, for 200 ms; then it closes them all and rests for
   300 ms. With HELD at the server's client limit, anyone else's new
   connection during a burst is turned away. Ends after SECONDS.
     x11_churn HELD SECONDS */
#include <X11/Xlib.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int held = atoi(argv[1]);
    const double end = Now() + atof(argv[2]);
    Display** ring = calloc((size_t)(held > 0 ? held : 1), sizeof *ring);
    const struct timespec rest = {0, 300 * 1000 * 1000};
    while (Now() < end) {
        const double burstEnd = Now() + 0.2;
        for (int i = 0; Now() < burstEnd; i = (i + 1) % held) {
            if (ring[i] != NULL) XCloseDisplay(ring[i]);
            ring[i] = XOpenDisplay(NULL);
        }
        for (int i = 0; i < held; ++i) {
            if (ring[i] != NULL) XCloseDisplay(ring[i]);
            ring[i] = NULL;
        }
        nanosleep(&rest, NULL);
    }
    return 0;
}
