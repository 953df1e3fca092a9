// Download progress window: names the workstation being read and counts three steps for each.
#include "collect/frmDownloadData.h"

#include "base/Captions.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "widgets/PlainText.h"
#include "widgets/WaitCursor.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

frmDownloadData::frmDownloadData(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDownloadData"));
    setWindowTitle(Captions::titled(QStringLiteral(" Data Download")));
    setModal(false);

    lblCurrentWS = new QLabel(this);
    lblCurrentWS->setObjectName(QStringLiteral("lblCurrentWS"));
    pbWorkstations = new QProgressBar(this);
    pbWorkstations->setObjectName(QStringLiteral("pbWorkstations"));
    pbWorkstations->setRange(0, 0);
    pbWorkstations->setValue(0);
    pbWorkstations->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCurrentWS);
    layout->addWidget(pbWorkstations);
    setMinimumWidth(360);
}

void frmDownloadData::repaintNow() {
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

DownloadSummary frmDownloadData::DownloadData(const QStringList& checkedWorkstations, ManagerDatabase& db,
                                              Network& network) {
    DownloadSummary summary;
    if (checkedWorkstations.isEmpty()) {
        close();
        return summary;
    }
    repaintNow();
    emit statusText(QStringLiteral("Downloading workstation data..."));
    {
        WaitCursor wait;
        WorkstationMerge merge(db);
        pbWorkstations->setRange(0, 3 * int(checkedWorkstations.size()));
        pbWorkstations->setValue(0);

        DownloadObserver observer;
        observer.starting = [this](const QString& name) {
            PlainText::show(lblCurrentWS, QStringLiteral("Downloading data from: ") + name);
            repaintNow();
        };
        observer.stepDone = [this] {
            pbWorkstations->setValue(pbWorkstations->value() + 1);
            repaintNow();
        };
        observer.finished = [this](const QString&) { repaintNow(); };
        summary = downloadWorkstations(merge, network, checkedWorkstations, observer);

        emit snapshotDateChanged(snapshotDateText(db));
        repaintNow();
    }
    close();
    return summary;
}
