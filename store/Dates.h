// The one place that converts days between QDate, stored text and the operator's texts.
#pragma once

#include <QDate>
#include <QString>

namespace Dates {

// "YYYY-MM-DD", as every date column stores it.
QString toStored(QDate day);

// The exclusive upper bound of a day's stored values (Date >= first AND Date < afterDay(last)):
// the next day's text, and for 9999-12-31, whose next day "10000-01-01" sorts before every date,
// "9999-12-32", which sorts after every value of that day.
QString afterDay(QDate day);

// The day of a stored value: "YYYY-MM-DD", optionally followed by a time of day
// (" HH:MM:SS" or "THH:MM:SS"). An unreadable value gives an invalid date.
QDate fromStored(const QString& text);

// The operator's short date format, always with a four-digit year.
QString shortFormat();
QString shortText(QDate day);
QDate fromShortText(const QString& text);

// The operator's long date format ("Long Date").
QString longText(QDate day);

} // namespace Dates
