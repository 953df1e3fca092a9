// What the operator chose on the criteria page, as the extraction and the writer need it.
#pragma once

#include <memory>
#include <optional>
#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

class Pseudonyms;

struct ReportCriteria {
    // Nothing when the combo shows "<No Data Available>".
    std::optional<QDate> startDate;
    std::optional<QDate> endDate;
    // Texts of the checked items of each list, exactly as shown (letter case included).
    QStringList applications;
    QStringList users;
    QStringList workstations;

    // Set for a pseudonymised report: every output names users (and workstations when it covers
    // them) by pseudonym only, and a selection of fewer than minimumGroup users is refused.
    std::shared_ptr<const Pseudonyms> pseudonyms{};
    int minimumGroup = 0;

    // Both days are known and every list has a checked item; otherwise no report can be made.
    bool complete() const {
        return startDate && endDate && !applications.isEmpty() && !users.isEmpty() && !workstations.isEmpty();
    }
};
