// Scan window: runs the scan handed to it on first show, with the hourglass, then closes.
#include "discovery/frmScan.h"

#include "base/Captions.h"
#include "widgets/PlainText.h"
#include "widgets/WaitCursor.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QVBoxLayout>

frmScan::frmScan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmScan"));
    setModal(true);
    setWindowTitle(Captions::titled(QStringLiteral(" Network Scan")));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblScanning =
        new QLabel(QStringLiteral("Scanning the network for Vellumcrest monitored workstations..."), this);
    lblScanning->setObjectName(QStringLiteral("lblScanning"));
    lblDomain = new QLabel(this);
    lblDomain->setObjectName(QStringLiteral("lblDomain"));
    lblWorkstation = new QLabel(this);
    lblWorkstation->setObjectName(QStringLiteral("lblWorkstation"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Domain:"), lblDomain);
    form->addRow(QStringLiteral("Workstation:"), lblWorkstation);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblScanning);
    layout->addLayout(form);
    layout->addWidget(ProgressBar1);
    setMinimumWidth(380);
}

void frmScan::showDomain(const QString& domain, int machines) {
    PlainText::show(lblDomain, domain);
    ProgressBar1->setMaximum(100 * machines + 1);
    repaintNow();
}

void frmScan::showMachine(const QString& machine) {
    PlainText::show(lblWorkstation, machine);
    repaintNow();
}

void frmScan::machineAsked() {
    ProgressBar1->setValue(ProgressBar1->value() + 100);
    repaintNow();
}

void frmScan::repaintNow() {
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmScan::reject() {
    if (!m_working)
        QDialog::reject();
}

void frmScan::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    QMetaObject::invokeMethod(this, &frmScan::runWork, Qt::QueuedConnection);
}

void frmScan::runWork() {
    setWindowTitle(Captions::titled(QStringLiteral(" Network Scan")));
    repaintNow();
    // An error escaping the scan still closes the window; the error goes on to its handler.
    // Declared first, so the pointer is restored before the window closes.
    const auto close = qScopeGuard([this] {
        m_working = false;
        accept();
    });
    WaitCursor hourglass;
    m_working = true;
    if (m_work)
        m_work();
}
