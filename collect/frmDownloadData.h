// The progress window of the workstation data download.
#pragma once

#include "collect/DataDownload.h"

#include <QDate>
#include <QDialog>
#include <QStringList>

class ManagerDatabase;
class Network;
class QLabel;
class QProgressBar;

class frmDownloadData : public QDialog {
    Q_OBJECT
public:
    explicit frmDownloadData(QWidget* parent = nullptr);

    // Downloads the checked workstations (names in the tree's node order, the root left out)
    // into db, then reports the newest day held and closes this window. With no workstation
    // it closes at once and reads, writes and reports nothing. Failures of the manager
    // database outside one workstation's merge are thrown (VcError).
    // Returns what came in and what did not. Agent rows before keptFrom (when valid) stay out.
    DownloadSummary DownloadData(const QStringList& checkedWorkstations, ManagerDatabase& db,
                                 Network& network, QDate keptFrom = QDate());

signals:
    // Text for the first panel of the main window's status bar.
    void statusText(const QString& text);
    // New text for the "Date of Most Recent Workstation Data" box.
    void snapshotDateChanged(const QString& text);

private:
    void repaintNow();

    QLabel* lblCurrentWS;
    QProgressBar* pbWorkstations;
};
