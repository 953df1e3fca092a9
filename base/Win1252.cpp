// Windows-1252 mapping: ASCII and Latin-1 are identity apart from the 0x80-0x9F block.
#include "base/Win1252.h"

#include <array>

namespace {
// Characters of bytes 0x80..0x9F; undefined positions keep their C1 control code.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

namespace Win1252 {

QChar toChar(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F)
        return QChar(kHigh[static_cast<size_t>(b - 0x80)]);
    return QChar(static_cast<char16_t>(b));
}

std::optional<unsigned char> toByte(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<unsigned char>(u);
    for (size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == u)
            return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

QString decode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes)
        out.append(toChar(static_cast<unsigned char>(ch)));
    return out;
}

QByteArray encode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const auto b = toByte(c);
        out.append(static_cast<char>(b ? *b : static_cast<unsigned char>('?')));
    }
    return out;
}

} // namespace Win1252
