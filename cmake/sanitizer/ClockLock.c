// ThreadSanitizer builds only. GCC 12's ThreadSanitizer does not intercept
// pthread_mutex_clocklock, which libstdc++'s timed mutexes use for try_lock_for: it misses
// the lock, reports the later unlock as "unlock of an unlocked mutex" and would miss the
// races the lock guards. This definition takes the C library's place in those builds: the
// same deadline on the same clock, through pthread_mutex_trylock, which is intercepted.
#define _GNU_SOURCE
#include <errno.h>
#include <pthread.h>
#include <time.h>

int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock, const struct timespec* deadline)
{
    if (deadline->tv_nsec < 0 || deadline->tv_nsec >= 1000000000L) {
        return EINVAL;
    }
    for (;;) {
        const int rc = pthread_mutex_trylock(mutex);
        if (rc != EBUSY) {
            return rc;
        }
        struct timespec now;
        if (clock_gettime(clock, &now) != 0) {
            return EINVAL;
        }
        if (now.tv_sec > deadline->tv_sec || (now.tv_sec == deadline->tv_sec && now.tv_nsec >= deadline->tv_nsec)) {
            return ETIMEDOUT;
        }
        const struct timespec pause = {0, 200000};
        nanosleep(&pause, NULL);
    }
}
