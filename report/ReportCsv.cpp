// CSV of the report rows, from the same grouped rows the report file is written from.
#include "report/ReportCsv.h"

#include "base/VcError.h"
#include "report/ReportDays.h"
#include "report/ReportProgress.h"
#include "report/ReportText.h"

#include <algorithm>
#include <QSaveFile>

namespace ReportCsv {

namespace {

QByteArray minutesText(double minutes) {
    return QByteArray::number(static_cast<qint64>(ReportText::roundHalfEven(minutes)));
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

QByteArray field(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
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

QByteArray text(const ReportDays& days, Kind kind) {
    QByteArray out;
    if (kind == Kind::Summary)
        row(out, {"Date", "Application", "Minutes", "Percent"});
    else
        row(out, {"Date", "Application", "User", "Workstation", "Minutes"});
    for (const auto& [date, day] : days.days()) {
        const QByteArray dateText = date.toString(Qt::ISODate).toLatin1();
        if (kind == Kind::Summary) {
            const qint64 total = days.total(day);
            for (const int i : days.order(day)) {
                const ReportDays::Application& app = day.applications[static_cast<size_t>(i)];
                row(out, {dateText, field(app.spelling), minutesText(app.minutes),
                          QByteArray::number(ReportText::percent(app.minutes, total))});
            }
            continue;
        }
        // Cells in the report's application order, then users and workstations by folded name.
        std::vector<std::pair<ReportDays::DetailKey, qint64>> cells(day.detailMilliseconds.begin(),
                                                                    day.detailMilliseconds.end());
        std::vector<int> rank(static_cast<size_t>(day.slotOfGroup.size()), 0);
        const std::vector<int> order = days.order(day);
        for (size_t i = 0; i < order.size(); ++i)
            rank[static_cast<size_t>(day.applications[static_cast<size_t>(order[i])].group)] =
                static_cast<int>(i);
        std::sort(cells.begin(), cells.end(), [&](const auto& a, const auto& b) {
            const auto& [appA, userA, wsA] = a.first;
            const auto& [appB, userB, wsB] = b.first;
            if (appA != appB)
                return rank[static_cast<size_t>(appA)] < rank[static_cast<size_t>(appB)];
            if (userA != userB)
                return days.users().folded(userA) < days.users().folded(userB);
            return days.workstations().folded(wsA) < days.workstations().folded(wsB);
        });
        for (const auto& [key, milliseconds] : cells) {
            const auto& [app, user, workstation] = key;
            const int slot = day.slotOfGroup[static_cast<size_t>(app)];
            row(out, {dateText, field(day.applications[static_cast<size_t>(slot)].spelling),
                      field(days.users().firstSpelling(user)),
                      field(days.workstations().firstSpelling(workstation)),
                      minutesText(static_cast<double>(milliseconds) / 60000.0)});
        }
    }
    return out;
}

void write(ManagerDatabase& database, const QString& path, Kind kind) {
    ReportProgress progress;
    const ReportDays days = ReportDays::read(database, progress, 0, kind == Kind::Detail);
    const QByteArray bytes = text(days, kind);
    QSaveFile file(path);
    // The rows are every user's usage: owner-only, whatever an older file allowed.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(bytes) != bytes.size() || !file.commit())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not write the CSV file ") + path +
                                                    QStringLiteral(": ") + file.errorString());
}

} // namespace ReportCsv
