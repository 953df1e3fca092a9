// Report content in memory: sums per day and application, names folded by letter case.
#include "report/ReportWriter.h"

#include "base/VcError.h"
#include "report/ReportText.h"
#include "report/ReportTotals.h"
#include "store/Dates.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <QHash>
#include <QList>
#include <QSaveFile>
#include <QStringList>
#include <vector>

namespace {

// Names seen in the rows: each distinct spelling is an entry, spellings that fold to the same
// text are one group, shown as first seen.
class Names {
public:
    int entryOf(const QByteArray& bytes) {
        // Rows come in runs of one name; the last one answers most lookups.
        if (m_lastEntry >= 0 && bytes == m_lastBytes)
            return m_lastEntry;
        m_lastBytes = QByteArray(bytes.constData(), bytes.size());
        m_lastEntry = find(bytes);
        return m_lastEntry;
    }
    int entryOf(int key, const QByteArray& bytes) {
        if (key < 0)
            return entryOf(bytes);
        if (static_cast<size_t>(key) >= m_entryOfKey.size())
            m_entryOfKey.resize(static_cast<size_t>(key) + 1, -1);
        int& entry = m_entryOfKey[static_cast<size_t>(key)];
        if (entry < 0)
            entry = find(bytes);
        return entry;
    }
    int group(int entry) const { return m_groupOfEntry[static_cast<size_t>(entry)]; }
    const QString& spelling(int entry) const { return m_spelling.at(entry); }
    const QString& firstSpelling(int group) const { return m_firstSpelling.at(group); }
    const QString& folded(int group) const { return m_folded.at(group); }
    int groups() const { return static_cast<int>(m_folded.size()); }

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
        const int entry = static_cast<int>(m_spelling.size());
        m_spelling.append(text);
        m_groupOfEntry.push_back(group.value());
        m_byBytes.insert(QByteArray(bytes.constData(), bytes.size()), entry);
        return entry;
    }

    QByteArray m_lastBytes;
    int m_lastEntry = -1;
    std::vector<int> m_entryOfKey;
    QHash<QByteArray, int> m_byBytes;
    QList<QString> m_spelling;
    std::vector<int> m_groupOfEntry;
    QHash<QString, int> m_byFolded;
    QList<QString> m_folded;
    QList<QString> m_firstSpelling;
};

struct ApplicationOfDay {
    int spellingEntry; // first spelling within the day
    // Summed in whole milliseconds: adding up sixtieths as doubles can land just below a whole
    // minute (six times 10 s would show 0:00).
    qint64 milliseconds = 0;
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
    void line(const char* text) {
        m_bytes += text;
        m_bytes += "\r\n";
    }
    QByteArray& bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

double minutesOf(const ApplicationOfDay& app) {
    return static_cast<double>(app.milliseconds) / 60000.0;
}

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
            static_cast<double>(total) + minutesOf(day.applications[static_cast<size_t>(i)])));
    for (const int i : order) {
        const ApplicationOfDay& app = day.applications[static_cast<size_t>(i)];
        const double minutes = minutesOf(app);
        out.line("<TR> <TD>&nbsp;&nbsp</TD>");
        out.line("<TD WIDTH=300> <FONT FACE=\"Arial\" SIZE=1>" +
                 ReportText::html(applications.spelling(app.spellingEntry)) + "</FONT> </TD>");
        out.line("<TD> <FONT FACE=\"Arial\" SIZE=1>" + ReportText::timePad(minutes) +
                 ReportText::timeText(minutes) + "</FONT> </TD>");
        out.line("<TD> <FONT FACE=\"Arial\" SIZE=1 COLOR=\"GRAY\"> &nbsp;");
        out.line(ReportText::percentText(minutes, total));
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

struct ReportWriter::Data {
    Names applications;
    Names users;
    Names workstations;
    DistinctList userList;
    DistinctList workstationList;
    std::map<QDate, Day> days;
    QDate lastDate;
    Day* lastDay = nullptr;
};

ReportWriter::ReportWriter() : d(std::make_unique<Data>()) {}

ReportWriter::~ReportWriter() = default;

void ReportWriter::addRow(QDate date, const QByteArray& application, const QByteArray& user,
                          const QByteArray& workstation, double minutes, int applicationKey, int userKey,
                          int workstationKey) {
    ++m_rows;
    if (!d->lastDay || date != d->lastDate) {
        d->lastDate = date;
        d->lastDay = &d->days[date];
    }
    Day& day = *d->lastDay;
    day.rowMinutes.push_back(minutes);

    const int entry = d->applications.entryOf(applicationKey, application);
    const int group = d->applications.group(entry);
    if (static_cast<size_t>(group) >= day.slotOfGroup.size())
        day.slotOfGroup.resize(static_cast<size_t>(group) + 1, -1);
    int& slot = day.slotOfGroup[static_cast<size_t>(group)];
    if (slot < 0) {
        slot = static_cast<int>(day.applications.size());
        day.groups.push_back(group);
        day.applications.push_back({entry, 0});
    }
    day.applications[static_cast<size_t>(slot)].milliseconds += std::llround(minutes * 60000.0);

    const int userGroup = d->users.group(d->users.entryOf(userKey, user));
    d->userList.add(userGroup, d->users.firstSpelling(userGroup));
    const int workstationGroup = d->workstations.group(d->workstations.entryOf(workstationKey, workstation));
    d->workstationList.add(workstationGroup, d->workstations.firstSpelling(workstationGroup));
}

QByteArray ReportWriter::bytes() const {
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
    for (const auto& [date, day] : d->days) {
        writeDay(out, date, day, d->applications);
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
    writeList(out, "Users monitored:", d->userList.names);
    writeList(out, "Workstations monitored:", d->workstationList.names);
    out.line("</BODY>");
    out.line("</HTML>");
    return std::move(out.bytes());
}

void ReportWriter::write(const QString& path) const {
    const QByteArray content = bytes();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not write the report file ") + path +
                                                    QStringLiteral(": ") + file.errorString());
}

void ReportWriter::fillTotals(ReportTotals& totals) const {
    totals.applications.clear();
    for (int group = 0; group < d->applications.groups(); ++group)
        totals.applications.append(d->applications.firstSpelling(group));
    totals.days.clear();
    totals.days.reserve(d->days.size());
    for (const auto& [date, day] : d->days) {
        ReportTotals::Day& kept = totals.days.emplace_back();
        kept.date = date;
        kept.cells.reserve(day.applications.size());
        for (size_t i = 0; i < day.applications.size(); ++i)
            kept.cells.push_back({day.groups[i], minutesOf(day.applications[i])});
    }
}
