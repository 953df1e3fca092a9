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

    QLabel* lblScanning;
    QLabel* lblDomain;
    QLabel* lblWorkstation;
    QProgressBar* ProgressBar1;

    // Paints the window now, so progress is visible while the scan holds the thread.
    void repaintNow();

public slots:
    // The operator cannot abandon a scan half-way; the window closes when the work is done.
    void reject() override;

protected:
    // Starts the work from the first show rather than activation, so it runs offscreen too.
    void showEvent(QShowEvent* event) override;

private:
    void runWork();

    std::function<void()> m_work;
    bool m_started = false;
    bool m_working = false;
};
