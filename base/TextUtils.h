// Small text and date helpers shared by every subsystem.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Base64 (RFC 4648 alphabet, no line breaks) of the text's Windows-1252 bytes.
QString Base64Encode(const QString& text);

// Tolerant decoder: characters outside the alphabet (including '=') count as a zero sextet
// and still take their place in the group; an incomplete last group yields nothing; the
// result is cut at the first NUL. Stored settings rely on this exact behaviour.
QString Base64Decode(const QString& text);

// The text up to, not including, its first NUL character.
QString CutAtNull(const QString& text);

// The calendar date of a date/time value.
QDate DateOnly(const QDateTime& value);

// Every apostrophe and double quote replaced by one blank; the length is unchanged.
QString BlankQuotes(const QString& text);

// Every double quote replaced by one blank; the length is unchanged.
QString BlankDoubleQuotes(const QString& text);

// Text as it may be shown to the operator: C0 controls and DEL as their control pictures
// (U+2400..U+2421), C1 controls and unpaired surrogates as U+FFFD; everything else unchanged.
QString visibleControls(const QString& text);

// The text with every lone surrogate (half of a pair without its other half) replaced by U+FFFD.
// Such text has no UTF-8 form; handed to the engine as it is, the unit after a lone high
// surrogate is taken as its other half and lost.
QString wellFormedText(const QString& text);

// Text-to-Boolean conversion: True/False in any letter case, or a number (zero is false).
// Anything else throws VcError with ErrorNumber::TypeMismatch.
bool textToBoolean(const QString& text);
