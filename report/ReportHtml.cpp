// The report file: the fixed template with the sums' days, totals and names filled in.
#include "report/ReportHtml.h"

#include "base/OutputFile.h"
#include "base/VcError.h"
#include "report/ReportSums.h"
#include "report/ReportText.h"
#include "store/Dates.h"

namespace {

class Output {
public:
    void line(const QByteArray& text) {
        m_bytes += text;
        m_bytes += "\r\n";
    }
    void line(const char* text) {
        m_bytes += text;
        m_bytes += "\r\n";
    }
    QByteArray& bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

void writeDay(Output& out, const ReportSums& report, const ReportSums::Day& day) {
    out.line("<P>");
    out.line("");
    out.line("<FONT FACE=\"Arial\" SIZE=2>");
    out.line("<B>" + ReportText::html(Dates::shortText(day.date)) + "</B>");
    out.line("</FONT>");
    out.line("&nbsp; &nbsp; <TABLE cellpadding=\"0\" cellspacing=\"0\" border=\"0\">");
    const qint64 total = report.dayTotal(day);
    for (const int i : report.order(day)) {
        const ReportSums::Application& app = day.applications[static_cast<size_t>(i)];
        const auto minutes = static_cast<double>(app.wholeMinutes());
        out.line("<TR> <TD>&nbsp;&nbsp</TD>");
        out.line("<TD WIDTH=300> <FONT FACE=\"Arial\" SIZE=1>" +
                 ReportText::html(report.applications().spelling(app.spelling)) + "</FONT> </TD>");
        out.line("<TD> <FONT FACE=\"Arial\" SIZE=1>" + ReportText::timePad(minutes) +
                 ReportText::timeText(minutes) + "</FONT> </TD>");
        out.line("<TD> <FONT FACE=\"Arial\" SIZE=1 COLOR=\"GRAY\"> &nbsp;");
        out.line(ReportText::percentText(ReportSums::percentOfDay(day, app)));
        out.line("</TD></TR>");
    }
    const auto totalMinutes = static_cast<double>(total);
    out.line("<TR> <TD>&nbsp;&nbsp</TD>");
    out.line("<TD> <FONT FACE=\"Arial\" COLOR=\"GRAY\" SIZE=1><HR>Total for day</FONT> </TD>");
    out.line("<TD> <FONT FACE=\"Arial\" COLOR=\"GRAY\" SIZE=1><HR>" + ReportText::timePad(totalMinutes) +
             ReportText::timeText(totalMinutes) + "</FONT> </TD>");
    out.line("<TD> <FONT FACE=\"Arial\" SIZE=1><HR>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</FONT> </TD>");
    out.line("</TR>");
    out.line("</TABLE>");
}

void writeList(Output& out, const char* heading, const QStringList& names) {
    out.line("<P><DL><DT>");
    out.line(QByteArray("<FONT FACE=\"Arial\" SIZE=1>") + heading + "</FONT>");
    out.line("</DT>");
    for (const QString& name : names) {
        out.line("<DD>");
        out.line("<FONT FACE=\"Arial\" SIZE=1>" + ReportText::html(name) + "</FONT>");
        out.line("</DD>");
    }
    out.line("</DL>");
    out.line("</P>");
}

} // namespace

namespace ReportHtml {

QByteArray bytes(const ReportSums& report) {
    Output out;
    out.line("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">");
    out.line("<HTML>");
    out.line("<HEAD>");
    out.line("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=windows-1252\">");
    out.line("<TITLE>Vellumcrest&#153 Application Usage Report</TITLE>");
    out.line("</HEAD>");
    out.line("<BODY>");
    out.line("<P ALIGN=CENTER>");
    out.line("<FONT FACE=\"Arial\" SIZE=3><B>Application Usage Report</B></FONT>");
    out.line("</P>");
    for (const auto& [date, day] : report.days())
        writeDay(out, report, day);
    out.line("<P><TABLE cellpadding=\"0\" cellspacing=\"0\" border=\"0\">");
    out.line(
        "<TR><TD WIDTH=300><FONT FACE=\"Arial\" SIZE=2><B>Total for all days  </FONT><FONT FACE=\"Arial\" "
        "SIZE=1> (in hours and minutes)</FONT> </TD>");
    out.line("<TD>&nbsp;&nbsp;</TD>");
    out.line("<TD><FONT FACE=\"Arial\" SIZE=1>" + ReportText::grandTotalText(report.grandTotal()) +
             "</FONT> </TD></TR></TABLE></P>");
    out.line("<HR>");
    writeList(out, "Users monitored:", report.userList());
    writeList(out, "Workstations monitored:", report.workstationList());
    out.line("</BODY>");
    out.line("</HTML>");
    return std::move(out.bytes());
}

void write(const ReportSums& report, const QString& path) {
    const QString error = OutputFile::writeWhole(path, bytes(report));
    if (!error.isEmpty())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not write the report file ") + path +
                                                    QStringLiteral(": ") + error);
}

} // namespace ReportHtml
