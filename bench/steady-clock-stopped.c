/* Preloaded under callgrind: CLOCK_MONOTONIC stands still, so the store's
 * checkpoints come by contact count alone, as in a run that takes less than
 * their interval. Under callgrind a run takes 50 times longer and the
 * interval would add a commit every two seconds, making the instruction
 * count depend on how busy the machine is. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <time.h>

int clock_gettime(clockid_t id, struct timespec* ts) {
    static int (*real)(clockid_t, struct timespec*);
    if (!real) real = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    if (id == CLOCK_MONOTONIC || id == CLOCK_MONOTONIC_RAW || id == CLOCK_BOOTTIME) {
        ts->tv_sec = 1000;
        ts->tv_nsec = 0;
        return 0;
    }
    return real(id, ts);
}
