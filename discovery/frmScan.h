// The network scan's modal progress window: domain, the machine being asked, and progress.
#pragma once

#include <functional>
#include <QDialog>

class QLabel;
class QProgressBar;

class frmScan : public QDialog {
    Q_OBJECT
public:
    explicit frmScan(QWidget* parent = nullptr);

    // The scan to run once the window is first shown; the window closes itself after it.
    void setWork(std::function<void()> work) { m_work = std::move(work); }

    // The scan as it goes, each painted at once (the scan holds the thread): the domain and the
    // number of machines to ask, the machine being asked, one more machine asked.
    void showDomain(const QString& domain, int machines);
    void showMachine(const QString& machine);
    void machineAsked();

public slots:
    // The operator cannot abandon a scan half-way; the window closes when the work is done.
    void reject() override;

protected:
    // Starts the work from the first show rather than activation, so it runs offscreen too.
    void showEvent(QShowEvent* event) override;

private:
    void runWork();
    void repaintNow();

    std::function<void()> m_work;

    QLabel* lblScanning;
    QLabel* lblDomain;
    QLabel* lblWorkstation;
    QProgressBar* ProgressBar1;

    bool m_started = false;
    bool m_working = false;
};
