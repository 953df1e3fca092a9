// Lays out the report's sums as paragraphs: day headings, application lines, totals, lists.
#include "report/ReportScreenDocument.h"

#include "report/ReportSums.h"
#include "report/ReportText.h"
#include "store/Dates.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace {

using ReportScreenDocument::Part;

QTextBlockFormat withPart(QTextBlockFormat format, ReportScreenDocument::Part part) {
    format.setProperty(ReportScreenDocument::Role, static_cast<int>(part));
    return format;
}

// The report's HTML sizes 1, 2 and 3, in points.
constexpr double kSmall = 7.5;
constexpr double kMedium = 10;
constexpr double kLarge = 12;

QTextCharFormat font(double points, bool bold = false, bool gray = false) {
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("Arial")});
    format.setFontPointSize(points);
    if (bold)
        format.setFontWeight(QFont::Bold);
    if (gray)
        format.setForeground(Qt::gray);
    return format;
}

} // namespace

ReportScreenDocument::Scale ReportScreenDocument::paper(double dotsPerInch) {
    // Nine and a half points for the lines: 7.5 reads on a screen, not on paper.
    return {1.25, 1.25 * dotsPerInch / 96.0};
}

QTextDocument* ReportScreenDocument::build(const ReportSums& report, QObject* parent, Scale scale) {
    const double u = scale.length;
    const auto sized = [&scale](double points, bool bold = false, bool gray = false) {
        return font(points * scale.font, bold, gray);
    };
    auto* document = new QTextDocument(parent);
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();

    QTextBlockFormat title;
    title.setAlignment(Qt::AlignHCenter);
    title.setBottomMargin(8 * u);
    cursor.setBlockFormat(title);
    cursor.setBlockCharFormat(sized(kLarge, true));
    cursor.insertText(QStringLiteral("Application Usage Report"), sized(kLarge, true));

    // Name from the indent, time right-aligned at the end of the file's 300-pixel name column,
    // percentage after it: the file's columns.
    QTextBlockFormat line;
    line.setTabPositions({QTextOption::Tab(24 * u, QTextOption::LeftTab),
                          QTextOption::Tab(364 * u, QTextOption::RightTab),
                          QTextOption::Tab(420 * u, QTextOption::RightTab)});
    line = withPart(line, Part::DayLine);
    QTextBlockFormat heading;
    heading.setTopMargin(12 * u);
    heading.setBottomMargin(2 * u);
    heading = withPart(heading, Part::DayHeading);
    QTextBlockFormat totalLine = line;
    totalLine.setTopMargin(2 * u);
    totalLine = withPart(totalLine, Part::DayTotal);
    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                     QTextLength(QTextLength::PercentageLength, 60));
    rule.setLeftMargin(24 * u);
    rule = withPart(rule, Part::DayLine);
    const QTextCharFormat small = sized(kSmall);
    const QTextCharFormat smallGray = sized(kSmall, false, true);
    const QTextCharFormat dayFont = sized(kMedium, true);
    const QString tab(QLatin1Char('\t'));

    for (const auto& [date, day] : report.days()) {
        cursor.insertBlock(heading, dayFont);
        cursor.insertText(Dates::shortText(date), dayFont);
        const qint64 total = report.dayTotal(day);
        for (const int i : report.order(day)) {
            const ReportSums::Application& app = day.applications[static_cast<size_t>(i)];
            cursor.insertBlock(line, small);
            cursor.insertText(
                tab + ReportText::shown(report.applications().spelling(app.spelling)) + tab +
                    QString::fromLatin1(ReportText::timeText(static_cast<double>(app.wholeMinutes()))) + tab,
                small);
            cursor.insertText(QStringLiteral("(%1%)").arg(ReportSums::percentOfDay(day, app)), smallGray);
        }
        cursor.insertBlock(rule, smallGray);
        cursor.insertBlock(totalLine, smallGray);
        cursor.insertText(tab + QStringLiteral("Total for day") + tab +
                              QString::fromLatin1(ReportText::timeText(static_cast<double>(total))),
                          smallGray);
    }

    QTextBlockFormat grand;
    grand.setTopMargin(16 * u);
    grand.setTabPositions({QTextOption::Tab(364 * u, QTextOption::RightTab)});
    cursor.insertBlock(grand, sized(kMedium, true));
    cursor.insertText(QStringLiteral("Total for all days  "), sized(kMedium, true));
    cursor.insertText(QStringLiteral(" (in hours and minutes)"), small);
    cursor.insertText(tab + QString::fromLatin1(ReportText::grandTotal(report.grandTotal())), small);
    QTextBlockFormat fullRule;
    fullRule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                         QTextLength(QTextLength::PercentageLength, 100));
    cursor.insertBlock(fullRule, small);

    QTextBlockFormat listHeading;
    listHeading.setTopMargin(8 * u);
    QTextBlockFormat listItem;
    listItem.setLeftMargin(40 * u);
    const auto list = [&](const QString& caption, const QStringList& names) {
        cursor.insertBlock(listHeading, small);
        cursor.insertText(caption, small);
        for (const QString& name : names) {
            cursor.insertBlock(listItem, small);
            cursor.insertText(ReportText::shown(name), small);
        }
    };
    list(QStringLiteral("Users monitored:"), report.userList());
    list(QStringLiteral("Workstations monitored:"), report.workstationList());
    cursor.endEditBlock();
    return document;
}
