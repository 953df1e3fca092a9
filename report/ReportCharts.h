// The charts view beside the report: minutes per day (or longer period) by application, and
// each application's share of the time over the report's days.
#pragma once

#include "report/ChartData.h"
#include "report/ReportHeading.h"
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
    // the view is shown, so a hidden view costs the report nothing. The heading (days,
    // criteria) titles printed and saved charts.
    void setReport(std::shared_ptr<const ReportSums> report, const ReportHeading& heading = {});

    // The series the charts show; empty until the view was shown with a report.
    const ChartData& data() const { return m_data; }
    bool hasCharts() const { return !m_data.isEmpty(); }

    // Both charts on one page, as shown, under a title that names the days and the criteria.
    void paint(QPainter& painter, const QRectF& target) const;
    // That title's two lines: "Application usage, 3/1/2024 to 3/14/2024" and the criteria.
    QStringList titleLines() const;
    // Paints on a printer already set up (a PDF file or the one chosen in the print dialog);
    // false when the printer could not be painted on.
    bool print(QPrinter& printer) const;
    // Writes both charts as a PNG image at the view's size; the error text, or nothing when
    // written. The image goes to a temporary file renamed over target.
    QString savePng(const QString& target) const;

    // Series at most: up to twelve applications by name; with more, the eleven largest and one
    // grey series for the rest (12 distinct colours).
    static constexpr int kMaxSeries = 12;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    void fillCharts();

    QChartView* chvMinutes;
    QChartView* chvShares;
    QLabel* lblNoCharts;

    std::shared_ptr<const ReportSums> m_report;
    ReportHeading m_heading;
    ChartData m_data;
    QStackedLayout* m_stack;
    QWidget* m_charts;
    bool m_stale = true;
};
