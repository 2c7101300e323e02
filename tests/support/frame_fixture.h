#pragma once

// Starts the program's forms against a folder of the test's own (config.ini
// and bookmark.xml live there) and records error boxes instead of showing them.
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "app/app_path.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "platform/guarded.h"

struct FrameFixture {
  QTemporaryDir dir;
  QStringList errors;

  QString path(const QString& name) const { return dir.filePath(name); }
  QString configPath() const { return path(QStringLiteral("config.ini")); }

  void writeConfig(const QByteArray& text) const {
    QFile f(configPath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
  }
  QByteArray config() const {
    QFile f(configPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  TMainForm* start() {
    setProgramFolderForTests(dir.path());
    QDir::setCurrent(dir.path());
    errors.clear();
    guarded::setReporter([this](const QString& text) { errors << text; });
    CreateForms();
    return MainForm;
  }
  // Starts with this config.ini, shown at size; null when it never shows.
  TMainForm* startShown(const QByteArray& configText, QSize size) {
    writeConfig(configText);
    TMainForm* f = start();
    f->resize(size);
    f->show();
    return QTest::qWaitForWindowExposed(f) ? f : nullptr;
  }
  void stop() {
    DestroyForms();
    guarded::setReporter({});
  }
};

// Ends the frame a test started, if it started one, so the next test begins
// without forms or a fixture folder.
inline void endFrame(FrameFixture*& fx) {
  if (!fx) return;
  fx->stop();
  delete fx;
  fx = nullptr;
}
