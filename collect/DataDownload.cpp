// Download run over the network and the newest-day text.
#include "collect/DataDownload.h"

#include "collect/WorkstationMerge.h"
#include "discovery/Network.h"
#include "base/VcError.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"

#include <memory>
#include <optional>

namespace {
// Rows per commit of a run: enough that the index pages shared by many workstations are
// written once per batch, few enough that a run cut short loses little work.
constexpr qint64 kRowsPerCommit = 250000;
} // namespace

DownloadSummary DownloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer) {
    DownloadSummary summary;
    int mergedInBatch = 0;
    qint64 rowsInBatch = 0;
    const auto commit = [&] {
        try {
            merge.commitBatch();
            summary.merged += mergedInBatch;
            summary.rowsImported += rowsInBatch;
        } catch (const VcError& error) {
            qWarning("Download could not be stored: %s", error.what());
            summary.failed += mergedInBatch;
        }
        mergedInBatch = 0;
        rowsInBatch = 0;
    };
    network.prefetchShareFiles(workstations, kWorkstationDatabaseFile);
    try {
        for (const QString& name : workstations) {
            if (observer.starting)
                observer.starting(name);
            std::unique_ptr<ShareFileCopy> copy = network.openShareFile(name, kWorkstationDatabaseFile);
            std::optional<WorkstationDatabase> source;
            if (copy) {
                try {
                    source.emplace(copy->path());
                } catch (const VcError&) {
                    source.reset();
                }
            }
            if (!source) {
                ++summary.unreachable;
            } else {
                if (observer.stepDone)
                    observer.stepDone();
                merge.beginBatch();
                try {
                    rowsInBatch += merge.UpdateWorkstationInfo(name, *source, observer.stepDone).rowsImported;
                    ++mergedInBatch;
                } catch (const VcError& error) {
                    // Nothing of this workstation is kept, and the others still come in.
                    qWarning("Download of %s failed: %s", qPrintable(name), error.what());
                    ++summary.failed;
                    if (!merge.inBatch()) {
                        // The engine gave up the whole batch.
                        summary.failed += mergedInBatch;
                        mergedInBatch = 0;
                        rowsInBatch = 0;
                    }
                }
                if (merge.rowsInBatch() >= kRowsPerCommit)
                    commit();
            }
            if (observer.finished)
                observer.finished(name);
        }
        commit();
    } catch (...) {
        merge.rollbackBatch();
        throw;
    }
    return summary;
}

QString SnapshotDateText(const ManagerDatabase& db) {
    if (const std::optional<QDate> newest = db.newestDay())
        return QStringLiteral(" ") + Dates::longText(*newest);
    return QStringLiteral(" <<No data has been made available yet>>");
}
