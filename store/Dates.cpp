// Date conversions.
#include "store/Dates.h"

#include <QLocale>
#include <QRegularExpression>

namespace Dates {

QString toStored(QDate day) {
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

QString afterDay(QDate day) {
    const QDate next = day.addDays(1);
    if (next.year() <= 9999)
        return toStored(next);
    return toStored(day).left(8) + QString::number(day.day() + 1);
}

QDate fromStored(const QString& text) {
    if (text.size() < 10)
        return {};
    if (text.size() > 10 && text[10] != QLatin1Char(' ') && text[10] != QLatin1Char('T'))
        return {};
    return QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
}

QString shortFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
}

QString shortText(QDate day) {
    return QLocale().toString(day, shortFormat());
}

QDate fromShortText(const QString& text) {
    return QLocale().toDate(text, shortFormat());
}

QString longText(QDate day) {
    return QLocale().toString(day, QLocale::LongFormat);
}

} // namespace Dates
