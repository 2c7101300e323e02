#pragma once

// Runs `body` in a child process as an ordinary user, so that folder and file
// permissions apply even when the tests run as root. Returns the child's exit
// code (90: could not drop to the ordinary user, 99: it did not exit).
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline int runAsNobody(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}
