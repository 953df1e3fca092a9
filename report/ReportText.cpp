// Report text pieces.
#include "report/ReportText.h"

#include "base/Win1252.h"

#include <cmath>

namespace ReportText {

double roundHalfEven(double x) {
    const double lower = std::floor(x);
    const double fraction = x - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

namespace {
// numerator / denominator (denominator > 0) to the nearest integer, halves to even.
qint64 divideHalfEven(qint64 numerator, qint64 denominator) {
    qint64 quotient = numerator / denominator;
    qint64 rest = numerator % denominator;
    if (rest < 0) { // floor, not truncation, for a negative stored duration
        --quotient;
        rest += denominator;
    }
    const qint64 twice = 2 * rest;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}
} // namespace

qint64 wholeMinutes(qint64 milliseconds) {
    return divideHalfEven(milliseconds, 60000);
}

qint64 percentOf(qint64 part, qint64 total) {
    return total > 0 ? divideHalfEven(part * 100, total) : 0;
}

// A cell shows its minutes rounded as the day's total is (halves to even), so a day with one
// application reads the same on its line and its total.
QByteArray timeText(double minutes) {
    const auto whole = static_cast<qint64>(roundHalfEven(minutes));
    const qint64 hours = whole / 60;
    const qint64 rest = whole % 60;
    QByteArray text = QByteArray::number(hours) + ':';
    if (rest < 10)
        text += '0';
    return text + QByteArray::number(rest);
}

QByteArray timePad(double minutes) {
    return roundHalfEven(minutes) < 600 ? QByteArrayLiteral("&nbsp;&nbsp;") : QByteArray();
}

QByteArray percentText(qint64 percent) {
    QByteArray prefix;
    if (percent == 100)
        prefix = "(";
    else if (percent > 9)
        prefix = "&nbsp;&nbsp;(";
    else
        prefix = "&nbsp;&nbsp;&nbsp;&nbsp;(";
    return prefix + QByteArray::number(percent) + "%)</FONT>";
}

QByteArray grandTotal(qint64 minutes) {
    const qint64 hours = minutes / 60;
    const qint64 rest = minutes - 60 * hours;
    QByteArray text = QByteArray::number(hours) + ':';
    if (rest >= 0 && rest < 10)
        text += '0';
    return text + QByteArray::number(rest);
}

QByteArray grandTotalText(qint64 minutes) {
    return (minutes / 60 < 10 ? QByteArrayLiteral("&nbsp;&nbsp;") : QByteArray()) + grandTotal(minutes);
}

QString shown(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const char16_t unit = c.unicode();
        // Control characters would reach the file raw (or, as references, be read as other
        // letters), and the screen would break lines at them.
        if (unit < 0x20 || unit == 0x7F) {
            out += QChar(unit == 0x7F ? char16_t(0x2421) : char16_t(0x2400 + unit));
        } else if (unit >= 0x80 && unit <= 0x9F) {
            out += QChar(QChar::ReplacementCharacter);
        } else if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += c;
            out += name.at(++i);
        } else if (c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray html(const QString& name) {
    const QString text = shown(name);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        default:
            break;
        }
        char32_t codePoint = c.unicode();
        if (c.isHighSurrogate()) { // shown() leaves only whole pairs
            codePoint = QChar::surrogateToUcs4(c, text.at(++i));
        } else if (const auto byte = Win1252::toByte(c)) {
            out += static_cast<char>(*byte);
            continue;
        }
        out += "&#" + QByteArray::number(static_cast<quint32>(codePoint)) + ';';
    }
    return out;
}

} // namespace ReportText
