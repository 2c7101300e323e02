#pragma once

// Reading and writing whole files in tests, and a simulated full disk.
#include <sys/resource.h>

#include <QFile>
#include <csignal>

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeRaw(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Runs `body` with files limited to `bytes` (writes beyond fail as on a full
// disk) and returns what it returns.
template <class F>
auto withFileSizeLimit(rlim_t bytes, F&& body) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit was{};
  getrlimit(RLIMIT_FSIZE, &was);
  rlimit small = was;
  small.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &small);
  auto result = body();
  setrlimit(RLIMIT_FSIZE, &was);
  return result;
}
