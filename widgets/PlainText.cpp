// Literal text in labels and tool tips.
#include "widgets/PlainText.h"

#include "base/TextUtils.h"

#include <QLabel>
#include <QTextDocument>

namespace PlainText {

void show(QLabel* label, const QString& text) {
    label->setTextFormat(Qt::PlainText);
    label->setText(visibleControls(text));
}

QString toolTip(const QString& text) {
    if (text.isEmpty())
        return text;
    // Tool tips guess the format from the text, so the text always goes in as escaped markup;
    // line breaks were made visible above, so the lines are split first.
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = visibleControls(line);
    return Qt::convertFromPlainText(lines.join(QLatin1Char('\n')), Qt::WhiteSpacePre);
}

} // namespace PlainText
