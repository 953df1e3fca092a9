// Report file writer: one read of the report rows, sums per day in memory, one file write.
#include "report/WriteReportFile.h"

#include "base/VcError.h"
#include "report/ReportProgress.h"
#include "report/ReportWriter.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"

#include <algorithm>

namespace {
constexpr qint64 kProgressEvery = 1 << 16;
} // namespace

void WriteReportFile(ManagerDatabase& database, const QString& path, ReportProgress& progress,
                     int progressStep, ReportTotals* totals) {
    ReportWriter writer;
    {
        SqlStatement rows(database.handle(),
                          "SELECT Date, AppTitle, UserName, Workstation, Duration FROM MGRDaySummaryTmp");
        QByteArray lastDate;
        QDate calendarDay;
        qint64 visited = 0;
        double value = progress.value();
        while (rows.step()) {
            const QByteArray stored = rows.bytes(0);
            const QByteArray date =
                QByteArray::fromRawData(stored.constData(), std::min<qsizetype>(stored.size(), 10));
            if (!calendarDay.isValid() || date != lastDate) {
                lastDate = QByteArray(date.constData(), date.size());
                calendarDay = Dates::fromStored(QString::fromLatin1(lastDate));
                if (!calendarDay.isValid())
                    throw VcError(ErrorNumber::DatabaseFailure,
                                  QStringLiteral("A report row has no valid date: ") +
                                      QString::fromUtf8(lastDate));
            }
            writer.addRow(calendarDay, rows.bytes(1), rows.bytes(2), rows.bytes(3), rows.real(4));
            if (progressStep > 0 && value + progressStep <= progress.maximum())
                value += progressStep;
            if (++visited % kProgressEvery == 0)
                progress.setValue(value);
        }
        progress.setValue(value);
    }
    writer.write(path);
    if (totals)
        writer.fillTotals(*totals);
}
