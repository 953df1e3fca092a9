// What the operator chose on the criteria page, as the extraction and the writer need it.
#pragma once

#include <optional>
#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

struct ReportCriteria {
    // Nothing when the combo shows "<No Data Available>".
    std::optional<QDate> startDate;
    std::optional<QDate> endDate;
    // Texts of the checked items of each list, exactly as shown (letter case included).
    QStringList applications;
    QStringList users;
    QStringList workstations;

    // Both days are known and every list has a checked item; otherwise no report can be made.
    bool complete() const {
        return startDate && endDate && !applications.isEmpty() && !users.isEmpty() && !workstations.isEmpty();
    }
};
