// The charts view beside the report: minutes per day (or longer period) by application, and
// each application's share of the time over the report's days.
#pragma once

#include "report/ChartData.h"
#include "report/ReportSums.h"

#include <memory>
#include <QWidget>

class QChartView;
class QLabel;
class QPainter;
class QPrinter;
class QStackedLayout;

class ReportCharts : public QWidget {
    Q_OBJECT
public:
    explicit ReportCharts(QWidget* parent = nullptr);

    // The report now shown; nothing for a page without a report. The series are computed when
    // the view is shown, so a hidden view costs the report nothing.
    void setReport(std::shared_ptr<const ReportSums> report);

    // The series the charts show; empty until the view was shown with a report.
    const ChartData& data() const { return m_data; }
    bool hasCharts() const { return !m_data.isEmpty(); }

    // Both charts on one page, side by side as shown.
    void paint(QPainter& painter, const QRectF& target) const;
    // Paints on a printer already set up (a PDF file or the one chosen in the print dialog);
    // false when the printer could not be painted on.
    bool print(QPrinter& printer) const;
    // Writes both charts as a PNG image at the view's size; the error text, or nothing when
    // written. The image goes to a temporary file renamed over target.
    QString savePng(const QString& target) const;

    // Most applications shown by name; the rest are one series (12 distinct colours).
    static constexpr int kMaxSeries = 12;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // As many bars as fit the minutes chart's width with room for a rotated date label.
    int barsThatFit() const;
    void rebuild();
    void fillCharts();

    QChartView* chvMinutes;
    QChartView* chvShares;
    QLabel* lblNoCharts;

    std::shared_ptr<const ReportSums> m_report;
    ChartData m_data;
    QStackedLayout* m_stack;
    QWidget* m_charts;
    bool m_stale = true;
};
