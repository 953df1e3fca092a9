// Charts view: Qt Charts fed from ChartData, painted again for printing and saving.
#include "report/ReportCharts.h"

#include "base/OutputFile.h"
#include "report/ReportText.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QHorizontalStackedBarSeries>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QStackedBarSeries>
#include <QStackedLayout>
#include <QValueAxis>
#include <QVBoxLayout>

namespace {

// Told apart by most readers, also in print; the gathered rest is grey.
QColor seriesColor(const ChartData::Series& series, size_t index) {
    static const QRgb colors[] = {0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f, 0xedc948,
                                  0xb07aa1, 0xff9da7, 0x9c755f, 0x17becf, 0xbcbd22, 0x8c564b};
    if (series.applications > 1)
        return QColor(0xbab0ac);
    return QColor(colors[index % (sizeof colors / sizeof colors[0])]);
}

QString hoursText(qint64 minutes) {
    return QString::fromLatin1(ReportText::timeText(static_cast<double>(minutes)));
}

// Replaces the view's chart; the view does not delete the one it showed.
void replaceChart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

QFont smaller(QFont font) {
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QChart* newChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    // The page is small for two charts: no frame around each beyond its margins.
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    return chart;
}

} // namespace

ReportCharts::ReportCharts(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ReportCharts"));
    chvMinutes = new QChartView(this);
    chvMinutes->setObjectName(QStringLiteral("chvMinutes"));
    chvMinutes->setRenderHint(QPainter::Antialiasing);
    chvShares = new QChartView(this);
    chvShares->setObjectName(QStringLiteral("chvShares"));
    chvShares->setRenderHint(QPainter::Antialiasing);
    lblNoCharts =
        new QLabel(QStringLiteral("No charts: the report shows no usage for the chosen criteria."), this);
    lblNoCharts->setObjectName(QStringLiteral("lblNoCharts"));
    lblNoCharts->setAlignment(Qt::AlignCenter);
    lblNoCharts->setWordWrap(true);

    // One above the other: the bars get the page's whole width, so a month of days keeps its
    // rotated date labels whole; the shares below are as tall as their rows need (a row lower
    // than its name's letters shows no name at all), the bars take the rest.
    m_charts = new QWidget(this);
    auto* charts = new QVBoxLayout(m_charts);
    charts->setContentsMargins(0, 0, 0, 0);
    charts->setSpacing(2);
    charts->addWidget(chvMinutes, 1);
    charts->addWidget(chvShares, 0);
    m_stack = new QStackedLayout(this);
    m_stack->addWidget(lblNoCharts);
    m_stack->addWidget(m_charts);
}

void ReportCharts::setReport(std::shared_ptr<const ReportSums> report, const ReportHeading& heading) {
    m_report = std::move(report);
    m_heading = heading;
    m_stale = true;
    if (isVisible())
        rebuild();
}

void ReportCharts::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale)
        rebuild();
}

void ReportCharts::rebuild() {
    m_stale = false;
    m_data = m_report ? ChartData::build(*m_report, ChartData::kMaxBars, kMaxSeries) : ChartData();
    fillCharts();
}

QStringList ReportCharts::titleLines() const {
    QString period = m_heading.period;
    if (period.isEmpty() && m_report)
        period = ReportHeading::periodText(m_report->firstDay(), m_report->lastDay());
    QStringList lines{period.isEmpty() ? QStringLiteral("Application usage")
                                       : QStringLiteral("Application usage, ") + period};
    if (!m_heading.criteria.isEmpty())
        lines.append(m_heading.criteria);
    return lines;
}

void ReportCharts::fillCharts() {
    if (m_data.isEmpty()) {
        replaceChart(chvMinutes, newChart(QString()));
        replaceChart(chvShares, newChart(QString()));
        m_stack->setCurrentWidget(lblNoCharts);
        return;
    }
    const auto& all = m_data.series();
    const QStringList labels = m_data.barLabels();

    QChart* minutes = newChart(QStringLiteral("Time by application"));
    auto* stacked = new QStackedBarSeries;
    qint64 highest = 0;
    std::vector<qint64> barTotals(m_data.barStarts().size(), 0);
    for (size_t i = 0; i < all.size(); ++i) {
        auto* set = new QBarSet(all[i].name);
        set->setColor(seriesColor(all[i], i));
        set->setBorderColor(set->color());
        for (size_t bar = 0; bar < all[i].minutes.size(); ++bar) {
            set->append(static_cast<qreal>(all[i].minutes[bar]));
            barTotals[bar] += all[i].minutes[bar];
        }
        stacked->append(set);
    }
    for (const qint64 total : barTotals)
        highest = std::max(highest, total);
    // Hours read better than minutes once a bar holds more than two hours.
    const bool hours = m_data.inHours();
    if (hours) {
        for (QBarSet* set : stacked->barSets())
            for (int bar = 0; bar < set->count(); ++bar)
                set->replace(bar, set->at(bar) / 60.0);
    }
    stacked->setBarWidth(0.8);
    minutes->addSeries(stacked);
    auto* bars = new QBarCategoryAxis;
    bars->append(labels);
    bars->setTitleText(m_data.barAxisTitle());
    if (labels.size() > 8)
        bars->setLabelsAngle(-90);
    bars->setLabelsFont(smaller(bars->labelsFont()));
    minutes->addAxis(bars, Qt::AlignBottom);
    stacked->attachAxis(bars);
    auto* values = new QValueAxis;
    values->setTitleText(m_data.valueAxisTitle());
    values->setLabelFormat(QStringLiteral("%d"));
    values->setRange(0, hours ? static_cast<qreal>(highest) / 60.0
                              : static_cast<qreal>(std::max<qint64>(highest, 1)));
    values->applyNiceNumbers();
    minutes->addAxis(values, Qt::AlignLeft);
    stacked->attachAxis(values);
    // The key to the colours, on the chart that needs it.
    minutes->legend()->setVisible(true);
    minutes->legend()->setAlignment(Qt::AlignBottom);
    minutes->legend()->setFont(smaller(minutes->legend()->font()));
    replaceChart(chvMinutes, minutes);

    QChart* shares = newChart(QStringLiteral("Share of the time"));
    auto* horizontal = new QHorizontalStackedBarSeries;
    QStringList names;
    // Categories run from the bottom up: the largest share is listed first, at the top.
    for (size_t i = all.size(); i-- > 0;) {
        // The share first: a long name is cut short at its end.
        QString name =
            QString::number(m_data.sharePercent(all[i]), 'f', 1) + QStringLiteral("%  ") + all[i].name;
        // The axis drops a repeated category, which would shift every bar after it.
        while (names.contains(name))
            name += QLatin1Char(' ');
        names.append(name);
    }
    for (size_t i = 0; i < all.size(); ++i) {
        auto* set = new QBarSet(all[i].name);
        set->setColor(seriesColor(all[i], i));
        set->setBorderColor(set->color());
        for (size_t row = 0; row < all.size(); ++row)
            set->append(row == all.size() - 1 - i ? m_data.sharePercent(all[i]) : 0.0);
        horizontal->append(set);
    }
    horizontal->setBarWidth(0.7);
    shares->addSeries(horizontal);
    auto* rows = new QBarCategoryAxis;
    rows->append(names);
    rows->setLabelsFont(smaller(rows->labelsFont())); // longer names before they are cut short
    shares->addAxis(rows, Qt::AlignLeft);
    horizontal->attachAxis(rows);
    auto* percent = new QValueAxis;
    // Up to the largest share, not to 100: small shares stay long enough to compare.
    double largest = 1.0; // the gathered rest may be larger than any one application
    for (const ChartData::Series& series : all)
        largest = std::max(largest, m_data.sharePercent(series));
    percent->setRange(0, largest);
    percent->applyNiceNumbers();
    percent->setLabelFormat(QStringLiteral("%d%%"));
    percent->setTitleText(QStringLiteral("%  of %1 (h:mm)").arg(hoursText(m_data.totalMinutes())));
    shares->addAxis(percent, Qt::AlignBottom);
    horizontal->attachAxis(percent);
    shares->legend()->hide();
    replaceChart(chvShares, shares);
    // Each row a little taller than its label; the rest is the title and the percent axis.
    const int rowHeight = QFontMetrics(rows->labelsFont()).height() + 9;
    chvShares->setFixedHeight(static_cast<int>(all.size()) * rowHeight + 80);
    m_stack->setCurrentWidget(m_charts);
}

void ReportCharts::paint(QPainter& painter, const QRectF& target) const {
    // The title names what the charts show: a page on its own must say which days and whom.
    QFont titleFont = font();
    titleFont.setPointSizeF(std::max(titleFont.pointSizeF(), 9.0) * 1.2);
    titleFont.setBold(true);
    painter.save();
    painter.setFont(titleFont);
    const QStringList lines = titleLines();
    const double lineHeight = QFontMetricsF(titleFont, painter.device()).height();
    double top = target.top();
    for (int i = 0; i < lines.size(); ++i) {
        if (i == 1) {
            QFont criteria = titleFont;
            criteria.setBold(false);
            criteria.setPointSizeF(titleFont.pointSizeF() / 1.2);
            painter.setFont(criteria);
        }
        const QRectF line(target.left(), top, target.width(), lineHeight);
        painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                         QFontMetricsF(painter.font(), painter.device())
                             .elidedText(lines[i], Qt::ElideRight, target.width()));
        top += lineHeight;
    }
    painter.restore();
    const QRectF charts(target.left(), top + lineHeight / 2, target.width(),
                        target.bottom() - top - lineHeight / 2);
    const double split = charts.height() * 0.6;
    chvMinutes->render(&painter, QRectF(charts.left(), charts.top(), charts.width(), split), QRect(),
                       Qt::KeepAspectRatio);
    chvShares->render(&painter,
                      QRectF(charts.left(), charts.top() + split, charts.width(), charts.height() - split),
                      QRect(), Qt::KeepAspectRatio);
}

bool ReportCharts::print(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    paint(painter, QRectF(painter.viewport()));
    return painter.end();
}

QString ReportCharts::savePng(const QString& target) const {
    const QSize size = m_charts->size().expandedTo(QSize(800, 600));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return QStringLiteral("The PNG image could not be written.");
    return OutputFile::writeWhole(target, png);
}
