// The pieces of text the report file is made of: times, pads, percentages and names.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace ReportText {

// Nearest integer, halves to the even neighbour.
double roundHalfEven(double x);

// A time summed exactly in milliseconds, as whole minutes: the nearest, halves to the even
// neighbour, computed in integers so that no sum lands just beside a half.
qint64 wholeMinutes(qint64 milliseconds);

// The whole percentage of part in total (both in the same unit, summed exactly): the nearest,
// halves to even; 0 when the total is not above 0.
qint64 percentOf(qint64 part, qint64 total);

// Whole hours (no limit at 24), a colon and two-digit minutes; minutes rounded to the nearest
// whole one, halves to even, as the day totals are.
QByteArray timeText(double minutes);

// "&nbsp;&nbsp;" under ten hours (after rounding), so single-digit hours line up with two-digit ones.
QByteArray timePad(double minutes);

// A whole percentage as the file writes it: with its aligning prefix and the closing ")</FONT>".
QByteArray percentText(qint64 percent);

// The grand total: hours, ":" and two-digit minutes.
QByteArray grandTotal(qint64 minutes);
// The same with the pad that lines up fewer than ten hours, as the file has it.
QByteArray grandTotalText(qint64 minutes);

// A name from the database as the report shows it: C0 controls and DEL as their control
// pictures, C1 controls and lone surrogates as the replacement character.
QString shown(const QString& name);

// The shown name as Windows-1252 bytes: &, <, > and " escaped, and characters the code page
// cannot hold written as numeric character references.
QByteArray html(const QString& name);

} // namespace ReportText
