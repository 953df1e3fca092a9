// Text utilities: the settings codec and the quote-blanking helpers.
#include "base/TextUtils.h"

#include "base/VcError.h"
#include "base/Win1252.h"

#include <cmath>

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int alphabetPosition(QChar c) {
    const char16_t u = c.unicode();
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 26;
    if (u >= '0' && u <= '9')
        return u - '0' + 52;
    if (u == '+')
        return 62;
    if (u == '/')
        return 63;
    return -1;
}

QString replaced(QString text, std::initializer_list<QChar> targets) {
    for (QChar& c : text) {
        for (QChar t : targets) {
            if (c == t)
                c = QLatin1Char(' ');
        }
    }
    return text;
}
} // namespace

QString Base64Encode(const QString& text) {
    const QByteArray bytes = Win1252::encode(text);
    QString out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (qsizetype i = 0; i < bytes.size(); i += 3) {
        const qsizetype left = bytes.size() - i;
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = left > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        const unsigned b2 = left > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0u;
        const unsigned group = (b0 << 16) | (b1 << 8) | b2;
        out.append(QLatin1Char(kAlphabet[(group >> 18) & 63]));
        out.append(QLatin1Char(kAlphabet[(group >> 12) & 63]));
        out.append(left > 1 ? QLatin1Char(kAlphabet[(group >> 6) & 63]) : QLatin1Char('='));
        out.append(left > 2 ? QLatin1Char(kAlphabet[group & 63]) : QLatin1Char('='));
    }
    return out;
}

QString Base64Decode(const QString& text) {
    QString out;
    unsigned accumulator = 0;
    int shift = 18;
    for (QChar c : text) {
        const int p = alphabetPosition(c);
        if (p >= 0)
            accumulator += static_cast<unsigned>(p) << shift;
        shift -= 6;
        if (shift < 0) {
            out.append(Win1252::toChar(static_cast<unsigned char>((accumulator >> 16) & 0xFF)));
            out.append(Win1252::toChar(static_cast<unsigned char>((accumulator >> 8) & 0xFF)));
            out.append(Win1252::toChar(static_cast<unsigned char>(accumulator & 0xFF)));
            accumulator = 0;
            shift = 18;
        }
    }
    return CutAtNull(out);
}

QString CutAtNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QDate DateOnly(const QDateTime& value) {
    const QDate d = value.date();
    return QDate(d.year(), d.month(), d.day());
}

QString BlankQuotes(const QString& text) {
    return replaced(text, {QLatin1Char('\''), QLatin1Char('"')});
}

QString BlankDoubleQuotes(const QString& text) {
    return replaced(text, {QLatin1Char('"')});
}

QString visibleControls(const QString& text) {
    QString shown = text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F) {
            shown[i] = QChar(u == 0x7F ? char16_t(0x2421) : char16_t(0x2400 + u));
        } else if (u >= 0x80 && u <= 0x9F) {
            shown[i] = QChar::ReplacementCharacter;
        } else if (c.isHighSurrogate() && i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            shown[i] = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

QString wellFormedText(const QString& text) {
    if (QStringView(text).isValidUtf16())
        return text;
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out.at(i).isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (out.at(i).isSurrogate())
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

bool textToBoolean(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    // "nan" and "inf" parse as numbers but no console ever stored them: a damaged value.
    if (ok && std::isfinite(number))
        return number != 0.0;
    throw VcError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
}
