// CSV of the report rows, from the same grouped rows the report file is written from.
#include "report/ReportCsv.h"

#include "base/OutputFile.h"
#include "base/VcError.h"
#include "report/ReportSums.h"
#include "report/ReportText.h"

#include <algorithm>
#include <cmath>

namespace ReportCsv {

namespace {

QByteArray minutesText(qint64 milliseconds) {
    return QByteArray::number(ReportText::wholeMinutes(milliseconds));
}

void row(QByteArray& out, std::initializer_list<QByteArray> fields) {
    bool first = true;
    for (const QByteArray& f : fields) {
        if (!first)
            out += ',';
        out += f;
        first = false;
    }
    out += "\r\n";
}

} // namespace

Kind kindOf(const QString& path) {
    return path.endsWith(QLatin1String(".detail.csv"), Qt::CaseInsensitive) ? Kind::Detail : Kind::Summary;
}

QByteArray field(const QString& text, Names names) {
    QByteArray utf8 = text.toUtf8();
    // Spreadsheets run a cell that starts like this as a formula; the apostrophe makes it text.
    static const QByteArray formulaStarts("=+-@\t\r");
    if (names == Names::Neutralised && !utf8.isEmpty() && formulaStarts.contains(utf8.front()))
        utf8.prepend('\'');
    // A tab or a blank at either end is left alone by RFC 4180 but trimmed by many readers;
    // quoting keeps it.
    const bool quote = utf8.contains(',') || utf8.contains('"') || utf8.contains('\r') ||
                       utf8.contains('\n') || utf8.contains('\t') || utf8.startsWith(' ') ||
                       utf8.endsWith(' ');
    if (!quote)
        return utf8;
    QByteArray quoted = utf8;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray text(const ReportSums& report, Kind kind, Names names) {
    if (kind == Kind::Detail && !report.keepsDetail())
        throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("The report kept no detail"));
    QByteArray out;
    if (kind == Kind::Summary)
        row(out, {"Date", "Application", "Minutes", "Percent"});
    else
        row(out, {"Date", "Application", "User", "Workstation", "Minutes"});
    const ReportNames& applications = report.applications();
    for (const auto& [date, day] : report.days()) {
        const QByteArray dateText = date.toString(Qt::ISODate).toLatin1();
        const std::vector<int> order = report.order(day);
        if (kind == Kind::Summary) {
            for (const int i : order) {
                const ReportSums::Application& app = day.applications[static_cast<size_t>(i)];
                row(out,
                    {dateText, field(applications.spelling(app.spelling), names),
                     minutesText(app.milliseconds), QByteArray::number(ReportSums::percentOfDay(day, app))});
            }
            continue;
        }
        // Rows in the report's application order, then users and workstations by folded name;
        // the rows of one cell then lie together and are summed.
        std::vector<int> rank(day.slotOfGroup.size(), 0);
        for (size_t i = 0; i < order.size(); ++i)
            rank[static_cast<size_t>(day.applications[static_cast<size_t>(order[i])].group)] =
                static_cast<int>(i);
        std::vector<size_t> rows(day.detail.size());
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        const auto before = [&](const ReportSums::Who& a, const ReportSums::Who& b) {
            if (a.application != b.application)
                return rank[static_cast<size_t>(a.application)] < rank[static_cast<size_t>(b.application)];
            if (a.user != b.user)
                return report.users().folded(a.user) < report.users().folded(b.user);
            return a.workstation != b.workstation &&
                   report.workstations().folded(a.workstation) < report.workstations().folded(b.workstation);
        };
        std::stable_sort(rows.begin(), rows.end(),
                         [&](size_t a, size_t b) { return before(day.detail[a], day.detail[b]); });
        for (size_t i = 0; i < rows.size();) {
            const ReportSums::Who& who = day.detail[rows[i]];
            qint64 milliseconds = 0;
            for (; i < rows.size() && !before(who, day.detail[rows[i]]); ++i)
                milliseconds += day.rowMilliseconds[rows[i]];
            const int slot = day.slotOfGroup[static_cast<size_t>(who.application)];
            row(out,
                {dateText,
                 field(applications.spelling(day.applications[static_cast<size_t>(slot)].spelling), names),
                 field(report.users().firstSpelling(who.user), names),
                 field(report.workstations().firstSpelling(who.workstation), names),
                 minutesText(milliseconds)});
        }
    }
    return out;
}

void write(const ReportSums& report, const QString& path, Kind kind, Names names) {
    const QString error = OutputFile::writeWhole(path, text(report, kind, names));
    if (!error.isEmpty())
        throw VcError(ErrorNumber::FileFailure,
                      QStringLiteral("Could not write the CSV file ") + path + QStringLiteral(": ") + error);
}

} // namespace ReportCsv
