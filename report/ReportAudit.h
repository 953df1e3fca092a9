// The audit log's account of a report, the same from the Reports page and the report command.
#pragma once

#include "report/ReportCriteria.h"

#include <QString>

class ManagerDatabase;

// Writes the report's audit row: the format, the days, how many users, workstations and
// applications were chosen, whether names were pseudonymised, and where it was written.
// Throws VcError when the row cannot be written.
void recordReport(ManagerDatabase& database, const ReportCriteria& criteria, const QString& format,
                  bool pseudonymised, const QString& output);
