// Report generation window.
#include "report/frmGenerateReport.h"

#include "widgets/WaitCursor.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/VcError.h"
#include "report/ReportAudit.h"
#include "report/ReportProgress.h"

#include <climits>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

int frmGenerateReport::ProgressStep = 0;

namespace {

// Shows the report's progress on the bar and repaints, taking no user input meanwhile.
class BarProgress : public ReportProgress {
public:
    explicit BarProgress(QProgressBar* bar) : m_bar(bar) {}

protected:
    void changed() override {
        const auto clamp = [](double v) {
            return static_cast<int>(std::min(std::max(v, 0.0), double(INT_MAX)));
        };
        m_bar->setMaximum(clamp(maximum()));
        m_bar->setValue(clamp(value()));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QProgressBar* m_bar;
};

const QString kCaption = Captions::titled(QStringLiteral(" Report Generation"));

} // namespace

frmGenerateReport::frmGenerateReport(ManagerDatabase& database, ReportCriteria criteria,
                                     QString programFolder, Feedback& feedback, QWidget* parent)
    : QDialog(parent), m_database(database), m_criteria(std::move(criteria)),
      m_programFolder(std::move(programFolder)), m_feedback(feedback) {
    setObjectName(QStringLiteral("frmGenerateReport"));
    setWindowTitle(kCaption);
    setModal(true);
    Label1 = new QLabel(QStringLiteral("Generating Report..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    pbReport = new QProgressBar(this);
    pbReport->setObjectName(QStringLiteral("pbReport"));
    pbReport->setMinimum(0);
    pbReport->setValue(0);
    pbReport->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(pbReport);
    setMinimumWidth(360);
}

bool frmGenerateReport::GenerateReport() {
    m_pagePath.clear();
    BarProgress progress(pbReport);
    ReportOutcome outcome;
    try {
        outcome = generateReport(m_database, m_criteria, m_programFolder, progress, ProgressStep);
        if (outcome.page == ReportPage::Report)
            recordReport(m_database, m_criteria, QStringLiteral("screen"), m_criteria.pseudonyms != nullptr,
                         outcome.path);
    } catch (const VcError& error) {
        m_feedback.message(error.description(), kCaption, Feedback::Icon::Critical);
        emit failed(error.description());
        return false;
    }
    m_pagePath = outcome.path;
    emit pageChosen(m_pagePath, std::move(outcome.report));
    return true;
}

void frmGenerateReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    // Started from the first show rather than activation, so it also runs offscreen.
    QTimer::singleShot(0, this, &frmGenerateReport::generateAndClose);
}

void frmGenerateReport::generateAndClose() {
    bool done = false;
    {
        WaitCursor busy(this);
        done = GenerateReport();
    }
    if (done)
        accept();
    else
        reject();
}
