// A download run over several workstations of the network, and the newest-day text it refreshes.
#pragma once

#include <functional>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class ManagerDatabase;
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

struct DownloadSummary {
    int merged = 0;      // workstations read and committed
    int unreachable = 0; // share file or database could not be opened
    int failed = 0;      // opened, but the merge failed and was rolled back
    qint64 rowsImported = 0;
    // Workstations that sent rows dated after today (left out; a wrong clock on the machine).
    QStringList datedAfterToday;
    // Workstations whose data did not come in this time, in order, each with the reason.
    QList<QPair<QString, QString>> notRead;
    // Why the run stopped before its end (the account was refused); empty when it did not.
    QString stopped;
};

// The status bar's text after a download: the system's "Workstation data download complete"
// (or why it stopped), followed by what did not happen, if anything; more than three
// workstations not read are counted, not named.
QString downloadOutcomeText(const DownloadSummary& summary);
// The reasons behind that text, one workstation a line (empty when everything came in).
QString downloadOutcomeDetails(const DownloadSummary& summary);

// The share file every workstation publishes its usage in.
inline const QString kWorkstationDatabaseFile = QStringLiteral("Data/VCWorkstation.mdb");

// Merges every named workstation in order, committing several at a time. One that cannot be
// opened is skipped with its reason; a refused account stops the run; one whose merge fails leaves nothing
// behind and the run goes on, so its days come in full next time; a run cut short keeps only whole
// workstations. Failures of the manager database outside a workstation's merge are thrown. Every registered
// workstation attempted gets its download record (MGRDownloadStatus), a merged one in the
// same transaction as its rows; records of a batch that could not be stored are written again
// as failed.
DownloadSummary downloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer = {});

// The text of the "Date of Most Recent Workstation Data" box: a blank and the newest day held,
// in the long date format, or " <<No data has been made available yet>>".
QString snapshotDateText(const ManagerDatabase& db);
