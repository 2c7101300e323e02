#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `data` so that readers see either the old
// or the new content, never a mix: the data goes to a temporary file in the
// same folder, is flushed to disk, and is renamed over the old file. The old
// file's permissions are kept. On failure the temporary file is removed, the
// old file is untouched, and false is returned with `error` set.
bool atomicReplaceFile(const QString& path, const QByteArray& data, QString* error = nullptr);
