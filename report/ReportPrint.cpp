// Report pages: the screen document in paper sizes, cut between days, with heading and footer.
#include "report/ReportPrint.h"

#include "report/ReportScreenDocument.h"
#include "report/ReportSums.h"

#include <memory>
#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>

namespace ReportPrint {

namespace {

using Part = ReportScreenDocument::Part;

Part partOf(const QTextBlock& block) {
    return static_cast<Part>(block.blockFormat().intProperty(ReportScreenDocument::Role));
}

// Paragraphs that go to a page together: a day from its heading to its total, else one.
struct Unit {
    QList<QRectF> blocks;
    double top() const { return blocks.constFirst().top(); }
    double bottom() const { return blocks.constLast().bottom(); }
};

QList<Unit> unitsOf(const QTextDocument& document) {
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    QList<Unit> units;
    bool inDay = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QRectF rect = layout->blockBoundingRect(block);
        const Part part = partOf(block);
        if (!inDay || part == Part::DayHeading || part == Part::Other)
            units.append(Unit{});
        units.last().blocks.append(rect);
        inDay = part == Part::DayHeading || part == Part::DayLine;
    }
    return units;
}

} // namespace

QList<Slice> paginate(const QTextDocument& document, double pageHeight) {
    QList<Slice> pages;
    const QList<Unit> units = unitsOf(document);
    if (units.isEmpty() || pageHeight <= 0)
        return pages;
    Slice page{units.constFirst().top(), units.constFirst().top()};
    const auto startPage = [&](double top) {
        if (page.bottom > page.top)
            pages.append(page);
        page = {top, top};
    };
    for (const Unit& unit : units) {
        if (unit.bottom() - page.top <= pageHeight) {
            page.bottom = unit.bottom();
            continue;
        }
        if (unit.bottom() - unit.top() <= pageHeight) {
            startPage(unit.top());
            page.bottom = unit.bottom();
            continue;
        }
        // Taller than a page: cut between its paragraphs.
        for (const QRectF& block : unit.blocks) {
            if (block.bottom() - page.top > pageHeight)
                startPage(block.top());
            page.bottom = block.bottom();
        }
    }
    startPage(page.bottom);
    return pages;
}

QString pageText(int page, int pages) {
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

QString documentName(const ReportHeading& heading) {
    return heading.period.isEmpty() ? QStringLiteral("Application Usage Report")
                                    : QStringLiteral("Application Usage Report, ") + heading.period;
}

bool print(const ReportSums& report, const ReportHeading& heading, QPrinter& printer) {
    printer.setDocName(documentName(heading));
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double dpi = printer.resolution();
    const std::unique_ptr<QTextDocument> document(
        ReportScreenDocument::build(report, nullptr, ReportScreenDocument::paper(dpi)));
    document->documentLayout()->setPaintDevice(&printer);
    document->setDocumentMargin(0);

    const QRectF page = printer.pageLayout().paintRectPixels(static_cast<int>(dpi));
    QFont small(QStringLiteral("Arial"));
    small.setPointSizeF(8.5);
    QFont bold = small;
    bold.setBold(true);
    const double line = QFontMetricsF(small, &printer).height();
    const double headTop = 0;
    const double bodyTop = headTop + 3 * line;
    const double footTop = page.height() - 1.5 * line;
    const double bodyHeight = footTop - bodyTop - line / 2;
    document->setTextWidth(page.width());
    const QList<Slice> pages = paginate(*document, bodyHeight);
    const QString criteria =
        QFontMetricsF(small, &printer).elidedText(heading.criteria, Qt::ElideRight, page.width());
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return false;
        painter.setPen(Qt::black);
        painter.setFont(bold);
        painter.drawText(QRectF(0, headTop, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                         documentName(heading));
        painter.setFont(small);
        painter.drawText(QRectF(0, headTop, page.width(), line), Qt::AlignRight | Qt::AlignVCenter,
                         heading.generated.isValid() ? heading.generatedText() : QString());
        painter.drawText(QRectF(0, headTop + line, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                         criteria);
        painter.drawLine(QPointF(0, headTop + 2.3 * line), QPointF(page.width(), headTop + 2.3 * line));
        painter.drawText(QRectF(0, footTop, page.width(), line), Qt::AlignHCenter | Qt::AlignVCenter,
                         pageText(i + 1, static_cast<int>(pages.size())));

        const Slice& slice = pages[i];
        painter.save();
        painter.translate(0, bodyTop - slice.top);
        const QRectF shown(0, slice.top, page.width(), slice.bottom - slice.top);
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        document->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}

} // namespace ReportPrint
