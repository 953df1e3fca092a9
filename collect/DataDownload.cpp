// Download run over the network and the newest-day text.
#include "collect/DataDownload.h"

#include "base/VcError.h"
#include "collect/DownloadBatch.h"
#include "collect/WorkstationMerge.h"
#include "network/Network.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"

#include <memory>
#include <optional>
#include <QDateTime>

namespace {
// Rows per commit of a run: enough that the index pages shared by many workstations are
// written once per batch, few enough that a run cut short loses little work.
constexpr qint64 kRowsPerCommit = 250000;
// Workstations named in the status bar's outcome; more are counted (the health page names them).
constexpr qsizetype kNamesInOutcome = 3;
} // namespace

DownloadSummary downloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer) {
    DownloadBatch batch(merge, kRowsPerCommit);
    network.prefetchShareFiles(workstations, kWorkstationDatabaseFile);
    for (const QString& name : workstations) {
        if (observer.starting)
            observer.starting(name);
        const QDateTime attempted = QDateTime::currentDateTimeUtc();
        const ShareFile copy = network.openShareFile(name, kWorkstationDatabaseFile);
        std::optional<WorkstationDatabase> source;
        QString unreadable;
        if (copy) {
            try {
                source.emplace(copy->path());
            } catch (const VcError& error) {
                source.reset();
                unreadable = error.description();
            }
        }
        if (!source && copy.stopsRun()) {
            // The account was refused: no other workstation is tried in this run, so one wrong
            // password is one failed logon, not one per workstation.
            batch.stopped(name, attempted, network.problem().isEmpty() ? copy.reason : network.problem(),
                          copy.failure == NetworkFailure::Logon ? copy.reason : QString());
            if (observer.finished)
                observer.finished(name);
            break;
        }
        if (!source) {
            const QString reason = copy                    ? unreadable
                                   : copy.reason.isEmpty() ? QStringLiteral("could not be reached")
                                                           : copy.reason;
            batch.notOpened(name, attempted, copy.unreachable(), reason);
        } else {
            if (observer.stepDone)
                observer.stepDone();
            batch.merge(name, *source, observer.stepDone, attempted);
        }
        if (observer.finished)
            observer.finished(name);
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
