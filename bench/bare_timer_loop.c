/* The floor for the service's tick and poll figures: a periodic timer that
 * does nothing when it wakes. Prints the process's CPU per wakeup.
 * Usage: bare_timer_loop PERIOD_MS WAKEUPS */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

static double cpu_us(void) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: bare_timer_loop PERIOD_MS WAKEUPS\n", stderr);
    return 2;
  }
  const long period_ns = atol(argv[1]) * 1000000L;
  const long wakeups = atol(argv[2]);
  struct timespec next;
  clock_gettime(CLOCK_MONOTONIC, &next);
  const double began = cpu_us();
  for (long i = 0; i < wakeups; ++i) {
    next.tv_nsec += period_ns;
    while (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
  }
  printf("wakeups=%ld cpu_us_per_wakeup=%.3f\n", wakeups, (cpu_us() - began) / (double)wakeups);
  return 0;
}
