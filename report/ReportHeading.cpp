// Report headings: days, criteria and generation time as the printed pages and charts show them.
#include "report/ReportHeading.h"

#include "store/Dates.h"

#include <QLocale>

namespace {
// Lists longer than this are counted rather than named.
constexpr qsizetype kNamed = 5;
} // namespace

QString ReportHeading::periodText(QDate from, QDate to) {
    if (!from.isValid() || !to.isValid())
        return {};
    if (from == to)
        return Dates::shortText(from);
    return Dates::shortText(from) + QStringLiteral(" to ") + Dates::shortText(to);
}

QString ReportHeading::choiceText(const QStringList& checked, const QStringList& unchecked, Names names) {
    if (unchecked.isEmpty())
        return QStringLiteral("all");
    if (checked.isEmpty())
        return QStringLiteral("none");
    if (names == Names::Shown && unchecked.size() <= kNamed && unchecked.size() <= checked.size())
        return QStringLiteral("all but ") + unchecked.join(QStringLiteral(", "));
    if (names == Names::Shown && checked.size() <= kNamed)
        return QStringLiteral("only ") + checked.join(QStringLiteral(", "));
    return QStringLiteral("%1 of %2").arg(checked.size()).arg(checked.size() + unchecked.size());
}

QString ReportHeading::criteriaText(const QString& applications, const QString& users,
                                    const QString& workstations) {
    return QStringLiteral("Applications: %1; users: %2; workstations: %3")
        .arg(applications, users, workstations);
}

QString ReportHeading::generatedText() const {
    const QLocale locale;
    return QStringLiteral("Generated ") + Dates::shortText(generated.date()) + QLatin1Char(' ') +
           locale.toString(generated.time(), QLocale::ShortFormat);
}

QString ReportHeading::periodForFileName(QDate from, QDate to) {
    if (!from.isValid() || !to.isValid())
        return {};
    const QString first = from.toString(Qt::ISODate);
    return from == to ? first : first + QStringLiteral(" to ") + to.toString(Qt::ISODate);
}
