// Conversion between text and the bytes of the Windows-1252 code page, in one place.
#pragma once

#include <optional>
#include <QByteArray>
#include <QChar>
#include <QString>

namespace Win1252 {

// The character that byte b stands for in Windows-1252. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as the
// platform's own conversion does, so every byte survives a round trip.
QChar toChar(unsigned char b);

// The Windows-1252 byte of a character, or nothing when the code page cannot hold it.
std::optional<unsigned char> toByte(QChar c);

// Bytes to text, one character per byte.
QString decode(const QByteArray& bytes);

// Text to bytes; a character the code page cannot hold becomes '?'.
QByteArray encode(const QString& text);

} // namespace Win1252
