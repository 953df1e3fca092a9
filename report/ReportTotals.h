// The minutes a written report shows per day and application, kept for views beside the report.
#pragma once

#include <QDate>
#include <QStringList>
#include <vector>

struct ReportTotals {
    struct Cell {
        int application = 0; // index in applications
        double minutes = 0;  // as the report's cell holds it, before rounding for display
    };
    struct Day {
        QDate date;
        std::vector<Cell> cells; // one per application of the day
    };

    // The criteria's day range; invalid when the report had none.
    QDate firstDay;
    QDate lastDay;
    // One entry per application of the report, in its first spelling: spellings that differ
    // only in letter case are one application, as in the report.
    QStringList applications;
    std::vector<Day> days; // ascending, only days with rows

    bool isEmpty() const { return days.empty(); }
};
