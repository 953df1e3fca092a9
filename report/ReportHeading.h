// What a printed or exported report and its charts say about themselves: the days, the criteria
// (who and what was left out) and when they were made.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct ReportHeading {
    QString period;   // "3/1/2024 to 3/14/2024", or one day
    QString criteria; // "Applications: all; users: all but bob; workstations: 3 of 12"
    QDateTime generated;

    // The days in the operator's short date format; empty without days.
    static QString periodText(QDate from, QDate to);
    // One list of the criteria: "all", "all but a, b", "only a, b", or "3 of 12" when both
    // sides are long; names are shown as they are listed. Unnamed (the people of a
    // pseudonymised report): "all", "none" or "3 of 12", never a name.
    enum class Names { Shown, Counted };
    static QString choiceText(const QStringList& checked, const QStringList& unchecked,
                              Names names = Names::Shown);
    // The three lists, each as choiceText says.
    static QString criteriaText(const QString& applications, const QString& users,
                                const QString& workstations);
    // "Generated 3/15/2024 10:42" in the operator's short formats.
    QString generatedText() const;
    // The days as a file name may carry them: "2024-03-01 to 2024-03-14", or one day.
    static QString periodForFileName(QDate from, QDate to);
};
