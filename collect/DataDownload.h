// A download run over several workstations of the network, and the newest-day text it refreshes.
#pragma once

#include "collect/DownloadBatch.h"

#include <functional>
#include <QString>
#include <QStringList>

class Network;
class WorkstationMerge;

// What a run tells its progress window; every member may be empty.
struct DownloadObserver {
    // Before a workstation is opened.
    std::function<void(const QString& workstation)> starting;
    // After each completed step: the workstation database opened, its users, its titles.
    // A workstation that cannot be opened advances nothing.
    std::function<void()> stepDone;
    // After a workstation is done, reached or not.
    std::function<void(const QString& workstation)> finished;
};

// The status bar's text after a download: the system's "Workstation data download complete"
// (or why it stopped), followed by what did not happen, if anything; more than three
// workstations not read are counted, not named.
QString downloadOutcomeText(const DownloadSummary& summary);
// The status bar's line after the first start, what it found and what came in: "12 workstations
// found, 11 downloaded, 1 could not be read: WS013 - see Workstation Health".
QString firstStartSummaryText(int found, const DownloadSummary& summary);
// The reasons behind that text, one workstation a line (empty when everything came in).
QString downloadOutcomeDetails(const DownloadSummary& summary);

// The share file every workstation publishes its usage in.
inline const QString kWorkstationDatabaseFile = QStringLiteral("Data/VCWorkstation.mdb");

// Merges every named workstation in order, committing several at a time (DownloadBatch). One
// that cannot be opened is skipped with its reason; a refused account stops the run; one whose
// merge fails leaves nothing behind and the run goes on, so its days come in full next time; a run
// cut short keeps only whole workstations. Failures of the manager database outside a
// workstation's merge are thrown. Every registered workstation attempted gets its download
// record, a merged one in the same transaction as its rows; records of a batch that could not be
// stored are written again as failed.
DownloadSummary downloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer = {});

// The text of the "Date of Most Recent Workstation Data" box: a blank and the newest day held,
// in the long date format, or " <<No data has been made available yet>>".
QString snapshotDateText(const ManagerDatabase& db);
