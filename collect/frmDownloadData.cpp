// Download progress window: names the workstation being read and counts three steps for each.
#include "collect/frmDownloadData.h"

#include "base/Captions.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "store/ManagerDatabase.h"
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
                                              Network& network, QDate keptFrom) {
    DownloadSummary summary;
    if (checkedWorkstations.isEmpty()) {
        close();
        return summary;
    }
    repaintNow();
    emit statusText(QStringLiteral("Downloading workstation data..."));
    {
        WaitCursor wait;
        // One writer at a time: a scheduled collect that is merging finishes first. Its network
        // steps all have deadlines, so the wait ends.
        bool said = false;
        const std::unique_ptr<ManagerDatabase::WritersTurn> turn = db.takeWritersTurn([&] {
            if (!said) {
                PlainText::show(lblCurrentWS,
                                QStringLiteral("Waiting for another program that is writing to the database "
                                               "(a scheduled collect)..."));
                emit statusText(
                    QStringLiteral("Waiting for another program that is writing to the database..."));
                said = true;
            }
            repaintNow();
            return true;
        });
        // Taken under the turn, so that no name another writer added is missed.
        WorkstationMerge merge(db);
        merge.setKeptFrom(keptFrom);
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
