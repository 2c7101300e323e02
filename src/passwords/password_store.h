#pragma once

// The frame's one store of saved passwords: the desktop's Secret Service
// through libsecret, never a file of the program's own. Every call runs off
// the UI thread and answers later on it, through `context` (no answer once
// it is gone); a service that does not answer in time is given up, so a
// missing or locked keyring never holds the frame.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "passwords/password_rules.h"

namespace passwords {

struct Credential {
  QString origin;
  Kind kind = Kind::Form;
  QString user;
  QString password;    // empty in a listing
  qint64 savedMs = 0;  // when it was last saved (ms since the epoch), as the keyring tells
};

class PasswordStore {
 public:
  static PasswordStore& instance();

  // Whether a Secret Service answers, asked once; why not in Japanese.
  using ServiceDone = std::function<void(bool available, const QString& why)>;
  void checkService(QObject* context, ServiceDone done);
  // Known without asking (after a check): unknown counts as available.
  bool knownMissing() const { return state_ == State::Missing; }

  // The saved credentials of one origin, with their passwords.
  using FoundDone = std::function<void(const QList<Credential>& found, const QString& error)>;
  void find(const QString& origin, Kind kind, QObject* context, FoundDone done);
  // Every saved credential, without passwords.
  void list(QObject* context, FoundDone done);
  // One credential's password (for showing or copying it on request).
  using PasswordDone = std::function<void(const QString& password, const QString& error)>;
  void password(const Credential& c, QObject* context, PasswordDone done);
  using Done = std::function<void(const QString& error)>;
  void save(const Credential& c, QObject* context, Done done);
  void remove(const Credential& c, QObject* context, Done done);

  // How long a call may take before it is given up, in milliseconds.
  void setTimeout(int ms) { timeoutMs_ = ms; }

 private:
  PasswordStore() = default;
  enum class State { Unknown, Available, Missing };
  State state_ = State::Unknown;
  QString why_;
  int timeoutMs_ = 15000;
};

// Sites for which the user said never to save a password, one origin a line
// in the user's data folder. A failed write throws EInOutError.
namespace never_sites {
bool contains(const QString& origin);
void add(const QString& origin);
void remove(const QString& origin);
QStringList all();
}  // namespace never_sites

}  // namespace passwords
