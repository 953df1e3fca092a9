// Download run over the network and the newest-day text.
#include "collect/DataDownload.h"

#include "collect/WorkstationMerge.h"
#include "discovery/Network.h"
#include "shell/VcError.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"

#include <memory>
#include <optional>

DownloadSummary DownloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer) {
    DownloadSummary summary;
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
            try {
                summary.rowsImported +=
                    merge.UpdateWorkstationInfo(name, *source, observer.stepDone).rowsImported;
                ++summary.merged;
            } catch (const VcError& error) {
                // Rolled back: nothing of this workstation is kept, and the others still come in.
                qWarning("Download of %s failed: %s", qPrintable(name), error.what());
                ++summary.failed;
            }
        }
        if (observer.finished)
            observer.finished(name);
    }
    return summary;
}

QString SnapshotDateText(const ManagerDatabase& db) {
    if (const std::optional<QDate> newest = db.newestDay())
        return QStringLiteral(" ") + Dates::longText(*newest);
    return QStringLiteral(" <<No data has been made available yet>>");
}
