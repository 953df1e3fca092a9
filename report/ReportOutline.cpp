// Reading the report writer's own lines back: every line must be one the writer writes.
#include "report/ReportOutline.h"

#include "base/Win1252.h"

#include <QByteArrayView>

namespace {

constexpr QByteArrayView kSmall = "<FONT FACE=\"Arial\" SIZE=1>";

// The text of the file's characters and references, as a browser would show it.
QString decoded(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '&') {
            out += Win1252::toChar(static_cast<unsigned char>(c));
            continue;
        }
        const QByteArrayView rest = bytes.sliced(i + 1);
        const auto named = [&](QByteArrayView name, QChar meaning, bool semicolonOptional) {
            if (!rest.startsWith(name))
                return false;
            const bool semicolon = rest.size() > name.size() && rest[name.size()] == ';';
            if (!semicolon && !semicolonOptional)
                return false;
            out += meaning;
            i += name.size() + (semicolon ? 1 : 0);
            return true;
        };
        if (named("nbsp", QChar(0x00A0), true) || named("amp", u'&', false) || named("lt", u'<', false) ||
            named("gt", u'>', false) || named("quot", u'"', false))
            continue;
        if (rest.startsWith('#')) {
            qsizetype end = 1;
            while (end < rest.size() && end < 9 && rest[end] >= '0' && rest[end] <= '9')
                ++end;
            bool ok = false;
            const uint code = rest.sliced(1, end - 1).toUInt(&ok);
            if (ok && end > 1) {
                // "&#153" is the code page's trade mark sign, as the page's browser reads it.
                const char32_t codePoint = code >= 0x80 && code <= 0x9F
                                               ? Win1252::toChar(static_cast<unsigned char>(code)).unicode()
                                               : static_cast<char32_t>(code);
                if (codePoint <= 0x10FFFF && !QChar::isSurrogate(codePoint))
                    out += QString::fromUcs4(&codePoint, 1);
                else
                    out += QChar(QChar::ReplacementCharacter);
                i += end + (end < rest.size() && rest[end] == ';' ? 1 : 0);
                continue;
            }
        }
        out += u'&';
    }
    return out;
}

// What a cell shows without the blanks that pad it.
QString trimmed(QByteArrayView bytes) {
    return decoded(bytes).remove(QChar(0x00A0)).trimmed();
}

class Lines {
public:
    explicit Lines(const QByteArray& bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_pos >= m_bytes.size(); }
    QByteArrayView peek() const {
        const qsizetype end = m_bytes.indexOf("\r\n", m_pos);
        return end < 0 ? QByteArrayView() : QByteArrayView(m_bytes).sliced(m_pos, end - m_pos);
    }
    std::optional<QByteArrayView> next() {
        const qsizetype end = m_bytes.indexOf("\r\n", m_pos);
        if (end < 0)
            return std::nullopt;
        const QByteArrayView line = QByteArrayView(m_bytes).sliced(m_pos, end - m_pos);
        m_pos = end + 2;
        return line;
    }
    bool expect(QByteArrayView exact) {
        const auto line = next();
        return line && *line == exact;
    }
    // The part of the next line between prefix and suffix.
    std::optional<QByteArrayView> between(QByteArrayView prefix, QByteArrayView suffix) {
        const auto line = next();
        if (!line || !line->startsWith(prefix) || !line->endsWith(suffix) ||
            line->size() < prefix.size() + suffix.size())
            return std::nullopt;
        return line->sliced(prefix.size(), line->size() - prefix.size() - suffix.size());
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
};

bool readDay(Lines& lines, ReportOutline::Day& day) {
    if (!lines.expect("") || !lines.expect("<FONT FACE=\"Arial\" SIZE=2>"))
        return false;
    const auto date = lines.between("<B>", "</B>");
    if (!date || !lines.expect("</FONT>") ||
        !lines.expect("&nbsp; &nbsp; <TABLE cellpadding=\"0\" cellspacing=\"0\" border=\"0\">"))
        return false;
    day.date = decoded(*date);
    for (;;) {
        if (!lines.expect("<TR> <TD>&nbsp;&nbsp</TD>"))
            return false;
        if (lines.peek().startsWith("<TD WIDTH=300> ")) {
            const auto name = lines.between("<TD WIDTH=300> <FONT FACE=\"Arial\" SIZE=1>", "</FONT> </TD>");
            const auto time = lines.between("<TD> <FONT FACE=\"Arial\" SIZE=1>", "</FONT> </TD>");
            if (!name || !time || !lines.expect("<TD> <FONT FACE=\"Arial\" SIZE=1 COLOR=\"GRAY\"> &nbsp;"))
                return false;
            const auto percent = lines.between("", "</FONT>");
            if (!percent || !lines.expect("</TD></TR>"))
                return false;
            day.applications.append({decoded(*name), trimmed(*time), trimmed(*percent)});
            continue;
        }
        if (!lines.expect("<TD> <FONT FACE=\"Arial\" COLOR=\"GRAY\" SIZE=1><HR>Total for day</FONT> </TD>"))
            return false;
        const auto total =
            lines.between("<TD> <FONT FACE=\"Arial\" COLOR=\"GRAY\" SIZE=1><HR>", "</FONT> </TD>");
        if (!total ||
            !lines.expect(
                "<TD> <FONT FACE=\"Arial\" SIZE=1><HR>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</FONT> </TD>") ||
            !lines.expect("</TR>") || !lines.expect("</TABLE>"))
            return false;
        day.total = trimmed(*total);
        return true;
    }
}

bool readList(Lines& lines, QByteArrayView heading, QStringList& names) {
    if (!lines.expect("<P><DL><DT>") ||
        !lines.expect(kSmall.toByteArray() + heading.toByteArray() + "</FONT>") || !lines.expect("</DT>"))
        return false;
    while (lines.peek() == "<DD>") {
        lines.next();
        const auto name = lines.between(kSmall, "</FONT>");
        if (!name || !lines.expect("</DD>"))
            return false;
        names.append(decoded(*name));
    }
    return lines.expect("</DL>") && lines.expect("</P>");
}

} // namespace

std::optional<ReportOutline> ReportOutline::parse(const QByteArray& fileBytes) {
    Lines lines(fileBytes);
    ReportOutline outline;
    for (const char* header :
         {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">", "<HTML>", "<HEAD>",
          "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=windows-1252\">",
          "<TITLE>Vellumcrest&#153 Application Usage Report</TITLE>", "</HEAD>", "<BODY>",
          "<P ALIGN=CENTER>"}) {
        if (!lines.expect(header))
            return std::nullopt;
    }
    const auto title = lines.between("<FONT FACE=\"Arial\" SIZE=3><B>", "</B></FONT>");
    if (!title || !lines.expect("</P>"))
        return std::nullopt;
    outline.title = decoded(*title);
    while (lines.peek() == "<P>") {
        lines.next();
        Day day;
        if (!readDay(lines, day))
            return std::nullopt;
        outline.days.append(std::move(day));
    }
    if (!lines.expect("<P><TABLE cellpadding=\"0\" cellspacing=\"0\" border=\"0\">") ||
        !lines.expect("<TR><TD WIDTH=300><FONT FACE=\"Arial\" SIZE=2><B>Total for all days  </FONT><FONT "
                      "FACE=\"Arial\" SIZE=1> (in hours and minutes)</FONT> </TD>") ||
        !lines.expect("<TD>&nbsp;&nbsp;</TD>"))
        return std::nullopt;
    const auto grandTotal =
        lines.between("<TD><FONT FACE=\"Arial\" SIZE=1>", "</FONT> </TD></TR></TABLE></P>");
    if (!grandTotal || !lines.expect("<HR>"))
        return std::nullopt;
    outline.grandTotal = trimmed(*grandTotal);
    if (!readList(lines, "Users monitored:", outline.users) ||
        !readList(lines, "Workstations monitored:", outline.workstations) || !lines.expect("</BODY>") ||
        !lines.expect("</HTML>") || !lines.atEnd())
        return std::nullopt;
    return outline;
}
