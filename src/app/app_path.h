#pragma once

#include <QString>

// The folder that holds config.ini, ending in "/": the program's own folder.
QString programFolder();

// Tests run the frame against a folder of their own.
void setProgramFolderForTests(const QString& folder);
