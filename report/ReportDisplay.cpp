// Report text normalisation for display.
#include "report/ReportDisplay.h"

#include "base/Win1252.h"

#include <QRegularExpression>

QString reportHtmlForDisplay(const QByteArray& fileBytes) {
    QString html = Win1252::decode(fileBytes);
    static const QRegularExpression nbsp(QStringLiteral("&nbsp(?!;)"));
    static const QRegularExpression tradeMark(QStringLiteral("&#153(?![0-9]);?"));
    html.replace(nbsp, QStringLiteral("&nbsp;"));
    html.replace(tradeMark, QStringLiteral("&#8482;"));
    return html;
}
