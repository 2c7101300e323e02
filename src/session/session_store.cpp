#include "session/session_store.h"

#include <signal.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <cerrno>

#include "platform/atomic_file.h"

namespace session {

namespace {

// Whether `pid` is a copy of this program still running: a process that
// has ended but was not reaped yet, or another program that got its number
// since, is none.
bool runningCopy(qint64 pid) {
  if (pid <= 0 || pid == QCoreApplication::applicationPid()) return false;
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  const QByteArray line = stat.read(4096);
  const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
  if (open < 0 || close < open || close + 2 >= line.size()) return false;
  const char state = line.at(close + 2);
  if (state == 'Z' || state == 'X' || state == 'x') return false;
  QFile self(QStringLiteral("/proc/self/stat"));
  if (!self.open(QIODevice::ReadOnly)) return false;
  const QByteArray own = self.read(4096);
  const qsizetype ownOpen = own.indexOf('('), ownClose = own.lastIndexOf(')');
  return ownOpen >= 0 && ownClose > ownOpen && own.mid(ownOpen, ownClose - ownOpen) == line.mid(open, close - open);
}

// The mark names the run's process. One that is still running (another
// frame of the user's) has not ended at all.
bool lastRunUnclean(const QString& mark) {
  QByteArray bytes;
  if (readRegularFile(mark, &bytes, 64) != FileRead::Ok) return false;
  bool ok = false;
  const qint64 pid = bytes.trimmed().toLongLong(&ok);
  return !ok || !runningCopy(pid);
}

}  // namespace

Store::Store(const QString& folder, QObject* parent) : QObject(parent), folder_(folder) {
  timer_.setSingleShot(true);
  timer_.setInterval(kDelayMs);
  connect(&timer_, &QTimer::timeout, this, [this] { write(); });
}

QString Store::FilePath() const { return folder_ + QStringLiteral("/session.json"); }
QString Store::PreviousPath() const { return folder_ + QStringLiteral("/session-previous.json"); }
QString Store::MarkPath() const { return folder_ + QStringLiteral("/running"); }

std::optional<Record> Store::read(const QString& path) {
  QByteArray bytes;
  const FileRead result = readRegularFile(path, &bytes, kMaxFileBytes);
  if (result == FileRead::Missing) return Record{};
  QString why;
  std::optional<Record> r;
  if (result == FileRead::Ok) r = parse(bytes, &why);
  if (r) return r;
  // A damaged file is moved out of the way, not read again and not lost.
  const QString aside =
      path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QFile::rename(path, aside);
  emit notice(QStringLiteral("ウィンドウの記録 %1 が壊れていたため %2 に移しました").arg(path, aside));
  return std::nullopt;
}

bool Store::BeginRun() {
  recoverInterruptedReplace(FilePath());
  recoverInterruptedReplace(PreviousPath());
  const bool unclean = lastRunUnclean(MarkPath());
  if (std::optional<Record> last = read(FilePath())) {
    closed_ = last->closed;
    QString error;
    if (!last->windows.isEmpty() && !atomicReplaceFile(PreviousPath(), toJson(*last), &error)) emit notice(error);
  }
  QString error;
  if (!atomicReplaceFile(MarkPath(), QByteArray::number(QCoreApplication::applicationPid()), &error))
    emit notice(error);
  running_ = true;
  if (!closed_.isEmpty()) emit closedChanged();
  return unclean;
}

void Store::EndRun() {
  if (!running_) return;
  timer_.stop();
  write();
  running_ = false;
  QFile::remove(MarkPath());
}

void Store::Changed() {
  if (running_) timer_.start();
}

void Store::Flush() {
  if (timer_.isActive()) {
    timer_.stop();
    write();
  }
}

Record Store::Previous() {
  Flush();
  return read(PreviousPath()).value_or(Record{});
}

void Store::PushClosed(const Window& window) {
  // The frame's own close takes its windows with it; none of them counts as closed.
  if (!running_) return;
  Record r;
  r.closed = closed_;
  pushClosed(r, window);
  closed_ = r.closed;
  Changed();
  emit closedChanged();
}

std::optional<Window> Store::PopClosed() {
  if (closed_.isEmpty()) return std::nullopt;
  const Window w = closed_.takeFirst();
  Changed();
  emit closedChanged();
  return w;
}

void Store::write() {
  if (!running_) return;
  Record r = source_ ? source_() : Record{};
  r.closed = closed_;
  QString error;
  const bool written = atomicReplaceFile(FilePath(), toJson(r), &error);
  // A folder that refuses the file is told once, not after every change.
  if (!written && !writeFailed_) emit notice(error);
  writeFailed_ = !written;
}

}  // namespace session
