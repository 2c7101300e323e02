#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Text encodings the program's files use: UTF-8, and Shift_JIS (the Windows
// code page 932 form, which is what Japanese Windows programs wrote).
namespace textcodec {

bool isValidUtf8(QByteArrayView bytes);

// Decodes Shift_JIS; bytes that are not valid Shift_JIS become U+FFFD.
QString decodeShiftJis(QByteArrayView bytes);

// Encodes as Shift_JIS; nullopt when a character has no Shift_JIS form that
// decodes back to that very character.
std::optional<QByteArray> encodeShiftJis(const QString& text);

}  // namespace textcodec
