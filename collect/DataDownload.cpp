// Download run over the network and the newest-day text.
#include "collect/DataDownload.h"

#include "base/VcError.h"
#include "collect/DownloadBatch.h"
#include "collect/WorkstationMerge.h"
#include "network/Network.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <QDateTime>
#include <vector>

namespace {
// Rows per commit of a run: enough that the index pages shared by many workstations are
// written once per batch, few enough that a run cut short loses little work.
constexpr qint64 kRowsPerCommit = 250000;
// Workstations copied ahead of their merge: their copies are on disk together, and a batch spans
// no more than these (so it is committed before the next network step).
constexpr qsizetype kCopiesAhead = 16;
// Workstations named in the status bar's outcome; more are counted (the health page names them).
constexpr qsizetype kNamesInOutcome = 3;
} // namespace

DownloadSummary downloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer) {
    DownloadBatch batch(merge, kRowsPerCommit);
    network.prefetchShareFiles(workstations, kWorkstationDatabaseFile);
    struct Copied {
        QString name;
        QDateTime attempted;
        ShareFile copy;
    };
    bool stopped = false;
    for (qsizetype first = 0; first < workstations.size() && !stopped; first += kCopiesAhead) {
        // The network first, with no transaction open: a machine that takes its time never keeps
        // the database's write lock from the console or the reports.
        std::vector<Copied> copies;
        for (qsizetype i = first; i < std::min(first + kCopiesAhead, workstations.size()); ++i) {
            const QString& name = workstations[i];
            const QDateTime attempted = QDateTime::currentDateTimeUtc();
            copies.push_back({name, attempted, network.openShareFile(name, kWorkstationDatabaseFile)});
            // The account was refused: no other workstation is tried in this run, so one wrong
            // password is one failed logon, not one per workstation.
            if (!copies.back().copy && copies.back().copy.stopsRun())
                break;
        }
        for (const Copied& copied : copies) {
            if (observer.starting)
                observer.starting(copied.name);
            const ShareFile& copy = copied.copy;
            std::optional<WorkstationDatabase> source;
            QString unreadable;
            if (copy) {
                try {
                    source.emplace(copy->path());
                } catch (const VcError& error) {
                    source.reset();
                    // The operator knows the machine's file, not this run's private copy of it.
                    unreadable = error.description();
                    unreadable.replace(copy->path(), QStringLiteral("the agent file"));
                }
            }
            if (!source && copy.stopsRun()) {
                batch.stopped(copied.name, copied.attempted,
                              network.problem().isEmpty() ? copy.reason : network.problem(),
                              copy.failure == NetworkFailure::Logon ? copy.reason : QString());
                if (observer.finished)
                    observer.finished(copied.name);
                stopped = true;
                break;
            }
            if (!source) {
                const QString reason = copy                    ? unreadable
                                       : copy.reason.isEmpty() ? QStringLiteral("could not be reached")
                                                               : copy.reason;
                batch.notOpened(copied.name, copied.attempted, copy.unreachable(), reason);
            } else {
                if (observer.stepDone)
                    observer.stepDone();
                batch.merge(copied.name, *source, observer.stepDone, copied.attempted);
            }
            if (observer.finished)
                observer.finished(copied.name);
        }
        // Held only while inserting: the next copies are made with the batch committed.
        batch.commit();
    }
    return batch.finish();
}

QString downloadOutcomeText(const DownloadSummary& summary) {
    QString text = summary.stopped.isEmpty()
                       ? QStringLiteral("Workstation data download complete")
                       : QStringLiteral("Workstation data download stopped: ") + summary.stopped;
    QStringList notes;
    if (summary.notRead.size() > kNamesInOutcome) {
        notes.append(QStringLiteral("%1 workstations could not be read (see Workstation Health)")
                         .arg(summary.notRead.size()));
    } else if (!summary.notRead.isEmpty()) {
        QStringList names;
        for (const auto& [name, reason] : summary.notRead)
            names.append(name);
        notes.append(
            QStringLiteral("%1 %2 could not be read: %3")
                .arg(names.size())
                .arg(names.size() == 1 ? QStringLiteral("workstation") : QStringLiteral("workstations"),
                     names.join(QStringLiteral(", "))));
    }
    if (!summary.datedAfterToday.isEmpty())
        notes.append(QStringLiteral("rows dated after today left out: ") +
                     summary.datedAfterToday.join(QStringLiteral(", ")));
    if (!notes.isEmpty())
        text += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
    return text;
}

QString firstStartSummaryText(int found, const DownloadSummary& summary) {
    QString text = QStringLiteral("%1 %2 found, %3 downloaded")
                       .arg(found)
                       .arg(found == 1 ? QStringLiteral("workstation") : QStringLiteral("workstations"))
                       .arg(summary.merged);
    if (!summary.notRead.isEmpty()) {
        QStringList names;
        for (const auto& [name, reason] : summary.notRead)
            names.append(name);
        text += QStringLiteral(", %1 could not be read: %2")
                    .arg(names.size())
                    .arg(names.join(QStringLiteral(", ")));
    }
    if (!summary.datedAfterToday.isEmpty())
        text += QStringLiteral(", rows dated after today left out: ") +
                summary.datedAfterToday.join(QStringLiteral(", "));
    if (!summary.notRead.isEmpty() || !summary.datedAfterToday.isEmpty())
        text += QStringLiteral(" \u2014 see Workstation Health");
    return text;
}

QString downloadOutcomeDetails(const DownloadSummary& summary) {
    QStringList lines;
    if (!summary.stopped.isEmpty())
        lines.append(QStringLiteral("Stopped: ") + summary.stopped);
    for (const auto& [name, reason] : summary.notRead)
        lines.append(name + QStringLiteral(": ") + reason);
    for (const QString& name : summary.datedAfterToday)
        lines.append(name +
                     QStringLiteral(": rows dated after today were left out (check the machine's clock)"));
    return lines.join(QLatin1Char('\n'));
}

QString snapshotDateText(const ManagerDatabase& db) {
    if (const std::optional<QDate> newest = db.newestDay())
        return QStringLiteral(" ") + Dates::longText(*newest);
    return QStringLiteral(" <<No data has been made available yet>>");
}
