// Report file writer: one read of the report rows, sums per day in memory, one file write.
#include "report/WriteReportFile.h"

#include "base/VcError.h"
#include "report/ReportProgress.h"
#include "report/ReportText.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <QHash>
#include <QSaveFile>
#include <vector>

namespace {

constexpr qint64 kProgressEvery = 1 << 16;

// Names seen in the rows; spellings that fold to the same text are one name, shown as first
// seen.
class Names {
public:
    // Index of the name (by its folded text) for the raw bytes of a row.
    int groupOf(const QByteArray& bytes) {
        // Rows come in runs of one name; the last one answers most lookups.
        if (m_lastGroup >= 0 && bytes == m_lastBytes)
            return m_lastGroup;
        m_lastBytes = QByteArray(bytes.constData(), bytes.size());
        m_lastGroup = find(bytes);
        return m_lastGroup;
    }
    QString spelling(const QByteArray& bytes) const { return m_spellingOfBytes.value(bytes); }
    const QString& firstSpelling(int group) const { return m_firstSpelling.at(group); }
    const QString& folded(int group) const { return m_folded.at(group); }
    int count() const { return static_cast<int>(m_folded.size()); }

private:
    int find(const QByteArray& bytes) {
        const auto it = m_byBytes.constFind(bytes);
        if (it != m_byBytes.constEnd())
            return it.value();
        const QString text = QString::fromUtf8(bytes);
        const QString folded = text.toCaseFolded();
        auto group = m_byFolded.constFind(folded);
        if (group == m_byFolded.constEnd()) {
            group = m_byFolded.insert(folded, static_cast<int>(m_folded.size()));
            m_folded.append(folded);
            m_firstSpelling.append(text);
        }
        m_byBytes.insert(QByteArray(bytes.constData(), bytes.size()), group.value());
        m_spellingOfBytes.insert(QByteArray(bytes.constData(), bytes.size()), text);
        return group.value();
    }

    QByteArray m_lastBytes;
    int m_lastGroup = -1;
    QHash<QByteArray, int> m_byBytes;
    QHash<QByteArray, QString> m_spellingOfBytes;
    QHash<QString, int> m_byFolded;
    QList<QString> m_folded;
    QList<QString> m_firstSpelling;
};

struct ApplicationOfDay {
    QString spelling; // first spelling within the day
    // Summed in whole milliseconds: adding up sixtieths as doubles can land just below a whole
    // minute (six times 10 s would show 0:00).
    qint64 milliseconds = 0;
    double minutes = 0;
};

struct Day {
    std::vector<double> rowMinutes; // in row order, for the grand total
    std::vector<int> slotOfGroup;   // application -> index in applications, or -1
    std::vector<int> groups;
    std::vector<ApplicationOfDay> applications;
};

// A list of names in the order they first appear, each once.
struct DistinctList {
    std::vector<char> seen;
    QStringList names;
    void add(int group, const QString& spelling) {
        if (static_cast<size_t>(group) >= seen.size())
            seen.resize(static_cast<size_t>(group) + 1, 0);
        if (seen[static_cast<size_t>(group)])
            return;
        seen[static_cast<size_t>(group)] = 1;
        names.append(spelling);
    }
};

class Output {
public:
    void line(const QByteArray& text) {
        m_bytes += text;
        m_bytes += "\r\n";
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

void writeDay(Output& out, QDate date, const Day& day, const Names& applications) {
    out.line("<P>");
    out.line("");
    out.line("<FONT FACE=\"Arial\" SIZE=2>");
    out.line("<B>" + ReportText::html(Dates::shortText(date)) + "</B>");
    out.line("</FONT>");
    out.line("&nbsp; &nbsp; <TABLE cellpadding=\"0\" cellspacing=\"0\" border=\"0\">");

    std::vector<int> order(day.applications.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return applications.folded(day.groups[static_cast<size_t>(a)]) <
               applications.folded(day.groups[static_cast<size_t>(b)]);
    });
    qint64 total = 0;
    for (const int i : order)
        total = static_cast<qint64>(ReportText::roundHalfEven(
            static_cast<double>(total) + day.applications[static_cast<size_t>(i)].minutes));
    for (const int i : order) {
        const ApplicationOfDay& app = day.applications[static_cast<size_t>(i)];
        out.line("<TR> <TD>&nbsp;&nbsp</TD>");
        out.line("<TD WIDTH=300> <FONT FACE=\"Arial\" SIZE=1>" + ReportText::html(app.spelling) +
                 "</FONT> </TD>");
        out.line("<TD> <FONT FACE=\"Arial\" SIZE=1>" + ReportText::timePad(app.minutes) +
                 ReportText::timeText(app.minutes) + "</FONT> </TD>");
        out.line("<TD> <FONT FACE=\"Arial\" SIZE=1 COLOR=\"GRAY\"> &nbsp;");
        out.line(ReportText::percentText(app.minutes, total));
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

void WriteReportFile(ManagerDatabase& database, const QString& path, ReportProgress& progress,
                     int progressStep) {
    Names applications;
    Names users;
    Names workstations;
    DistinctList userList;
    DistinctList workstationList;
    std::map<QDate, Day> days;

    {
        SqlStatement rows(database.handle(),
                          "SELECT Date, AppTitle, UserName, Workstation, Duration FROM MGRDaySummaryTmp");
        QByteArray lastDate;
        Day* day = nullptr;
        qint64 visited = 0;
        double value = progress.value();
        while (rows.step()) {
            const QByteArray stored = rows.bytes(0);
            const QByteArray date =
                QByteArray::fromRawData(stored.constData(), std::min<qsizetype>(stored.size(), 10));
            if (!day || date != lastDate) {
                lastDate = QByteArray(date.constData(), date.size());
                const QDate calendarDay = Dates::fromStored(QString::fromLatin1(lastDate));
                if (!calendarDay.isValid())
                    throw VcError(ErrorNumber::DatabaseFailure,
                                  QStringLiteral("A report row has no valid date: ") +
                                      QString::fromUtf8(lastDate));
                day = &days[calendarDay];
            }
            const double minutes = rows.real(4);
            day->rowMinutes.push_back(minutes);

            const QByteArray appBytes = rows.bytes(1);
            const int group = applications.groupOf(appBytes);
            if (static_cast<size_t>(group) >= day->slotOfGroup.size())
                day->slotOfGroup.resize(static_cast<size_t>(group) + 1, -1);
            int& slot = day->slotOfGroup[static_cast<size_t>(group)];
            if (slot < 0) {
                slot = static_cast<int>(day->applications.size());
                day->groups.push_back(group);
                day->applications.push_back({applications.spelling(appBytes), 0});
            }
            ApplicationOfDay& application = day->applications[static_cast<size_t>(slot)];
            application.milliseconds += std::llround(minutes * 60000.0);
            application.minutes = static_cast<double>(application.milliseconds) / 60000.0;

            const QByteArray userBytes = rows.bytes(2);
            const int user = users.groupOf(userBytes);
            userList.add(user, users.firstSpelling(user));
            const QByteArray workstationBytes = rows.bytes(3);
            const int workstation = workstations.groupOf(workstationBytes);
            workstationList.add(workstation, workstations.firstSpelling(workstation));

            if (progressStep > 0 && value + progressStep <= progress.maximum())
                value += progressStep;
            if (++visited % kProgressEvery == 0)
                progress.setValue(value);
        }
        progress.setValue(value);
    }

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
    qint64 grandTotal = 0;
    for (const auto& [date, day] : days) {
        writeDay(out, date, day, applications);
        for (const double minutes : day.rowMinutes)
            grandTotal =
                static_cast<qint64>(ReportText::roundHalfEven(static_cast<double>(grandTotal) + minutes));
    }
    out.line("<P><TABLE cellpadding=\"0\" cellspacing=\"0\" border=\"0\">");
    out.line(
        "<TR><TD WIDTH=300><FONT FACE=\"Arial\" SIZE=2><B>Total for all days  </FONT><FONT FACE=\"Arial\" "
        "SIZE=1> (in hours and minutes)</FONT> </TD>");
    out.line("<TD>&nbsp;&nbsp;</TD>");
    out.line("<TD><FONT FACE=\"Arial\" SIZE=1>" + ReportText::grandTotalText(grandTotal) +
             "</FONT> </TD></TR></TABLE></P>");
    out.line("<HR>");
    writeList(out, "Users monitored:", userList.names);
    writeList(out, "Workstations monitored:", workstationList.names);
    out.line("</BODY>");
    out.line("</HTML>");

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out.bytes()) != out.bytes().size() || !file.commit())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not write the report file ") + path +
                                                    QStringLiteral(": ") + file.errorString());
}
