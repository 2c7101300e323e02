/* Starts a program and prints the milliseconds until its first top-level
 * window is mapped and the process has gone idle (no CPU time used for
 * IDLE_MS), less that idle wait. Then ends the program.
 * usage: launch_to_idle <program> [args...]  (on an X display without a
 * window manager, as under scripts/with-xvfb) */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define IDLE_MS 150

static double now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

/* CPU time of the process and its threads, in clock ticks. */
static long cpu_ticks(pid_t pid) {
  char path[64], buf[1024];
  snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
  FILE* f = fopen(path, "r");
  if (!f) return -1;
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = 0;
  char* p = strrchr(buf, ')');
  if (!p) return -1;
  long utime = 0, stime = 0;
  /* fields after the command: state(3) ... utime(14) stime(15) */
  if (sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime, &stime) != 2) return -1;
  return utime + stime;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s program [args...]\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "no display\n");
    return 2;
  }
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XFlush(d);
  const double t0 = now_ms();
  pid_t pid = fork();
  if (pid == 0) {
    execv(argv[1], argv + 1);
    _exit(127);
  }
  double mapped = -1;
  while (mapped < 0) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == MapNotify) mapped = now_ms();
  }
  long last = cpu_ticks(pid);
  double quietSince = now_ms();
  for (;;) {
    usleep(10000);
    long t = cpu_ticks(pid);
    if (t != last) {
      last = t;
      quietSince = now_ms();
    } else if (now_ms() - quietSince >= IDLE_MS) {
      break;
    }
  }
  printf("%.1f\n", quietSince - t0);
  fflush(stdout);
  kill(pid, SIGTERM);
  waitpid(pid, NULL, 0);
  XCloseDisplay(d);
  return 0;
}
