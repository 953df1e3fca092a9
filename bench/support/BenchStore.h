// Builds big, deterministic manager stores for benchmarks (and large-data tests) straight
// through the engine, and keeps each built file in the build folder for the next run.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace BenchStore {

struct Parameters {
    qint64 rows = 10'000'000; // usage rows in MGRDaySummary (approximately, never more)
    int days = 730;           // consecutive days, every one with usage
    int workstations = 100;
    int users = 200;
    int titles = 20'000; // distinct window titles
    int groupings = 30;  // besides the installed "Desktop"
    int entriesPerGrouping = 200;
    QDate firstDay = QDate(2022, 1, 3);
    quint64 seed = 1;
};

// Text that names the parameters (and the generator's version): the cache key.
QString key(const Parameters& parameters);

// Where the store for the parameters is cached (it may not exist yet).
QString cachedPath(const Parameters& parameters, const QString& cacheDir = QString());

// Path of a manager store built with the parameters: reused from cacheDir when it is already
// there, built otherwise (into a temporary name, then renamed). An empty cacheDir means the
// build folder's bench-data/. Throws VcError on failure.
QString managerStore(const Parameters& parameters, const QString& cacheDir = QString());

// Builds the store at path unconditionally (path must not exist).
void build(const QString& path, const Parameters& parameters);

// The names the generator uses, so benchmarks can select by them.
QString workstationName(int index); // 0-based
QString userName(int index);
QString groupingName(int index); // 0-based among the generated groupings

} // namespace BenchStore
