// What the groupings catch over a range of days: the captured titles no application catches,
// and the titles and time each application catches, by the report's own rule.
#pragma once

#include "groupings/GroupingsStore.h"

#include <optional>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <utility>

class ManagerDatabase;

class TitleCoverage {
public:
    struct Caught {
        int titles = 0;
        qint64 seconds = 0;
    };

    // Nothing is read until load().
    TitleCoverage() = default;
    // Maps every captured title with ApplicationNames over the groupings as they are now,
    // summing its time over the inclusive range. Failures throw VcError.
    void load(ManagerDatabase& database, QDate from, QDate to);
    // Maps the titles read by the last load() again with the groupings as they are now. The
    // times do not depend on the groupings, so an edit costs no pass over the usage rows.
    void remap(const ManagerDatabase& database);

    QDate from() const { return m_from; }
    QDate to() const { return m_to; }

    // Titles with time in the range that no grouping catches, most time first; equal times in alphabetical
    // order (letter case aside, then exact spelling), so the list never depends on download order.
    const QList<GroupingsStore::TitleTime>& unmatched() const { return m_unmatched; }
    // Time of every captured title in the range.
    qint64 totalSeconds() const { return m_total; }
    // Percent of the total time, 0 when there is none.
    double sharePercent(qint64 seconds) const;
    // The captured titles application (its exact name) catches now and their time.
    Caught caughtBy(const QString& application) const;

    // The days the list covers: the criteria's days, or else the 30 days up to and including
    // today.
    static std::pair<QDate, QDate> range(std::optional<QDate> from, std::optional<QDate> to, QDate today);
    // Seconds as the report rounds them: the nearest whole minute, halves to even.
    static qint64 wholeMinutes(qint64 seconds);
    // "3 h 05 min", "12 min", "0 min": the nearest whole minute, as the report rounds.
    static QString durationText(qint64 seconds);
    // The line beside the selected application.
    QString caughtText(const QString& application) const;

private:
    QDate m_from;
    QDate m_to;
    QList<GroupingsStore::TitleTime> m_titles;
    QList<GroupingsStore::TitleTime> m_unmatched;
    QHash<QString, Caught> m_caught;
    qint64 m_total = 0;
};
