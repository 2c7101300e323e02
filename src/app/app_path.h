#pragma once

#include <QString>

// The folder that holds config.ini, ending in "/".
//
// A program whose own folder takes new files (a build folder, an unpacked
// copy) keeps its settings beside itself and stays portable. An installed
// program cannot write there, and would end every close in an error box, so
// it uses the user's $XDG_CONFIG_HOME/zelvo/ instead, created here when
// missing. The answer is decided once per process.
QString programFolder();

// True when the settings live in the user's folders, not beside the program.
bool runsInstalled();

// An installed program works in $XDG_DATA_HOME/zelvo (created when missing),
// so bookmark.xml has one home whatever folder it was started from. A
// portable program keeps the folder it was started in. Throws EInOutError
// when the folder cannot be created or entered.
void enterUserDataFolder();

// Whether a file can be created in `folder`. Tried rather than asked: root
// passes every permission check yet cannot write to a read-only mount.
bool folderTakesNewFiles(const QString& folder);

// Tests run the frame against a folder of their own.
void setProgramFolderForTests(const QString& folder);
