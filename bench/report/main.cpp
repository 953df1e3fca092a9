// Report benchmark: builds (or reuses) the big store and times report generation on it.
#include "support/BenchStore.h"

#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchStore::Parameters parameters;
    const QStringList args = app.arguments();
    if (args.size() > 1)
        parameters.rows = args.at(1).toLongLong();
    QElapsedTimer timer;
    timer.start();
    const QString path = BenchStore::managerStore(parameters);
    std::printf("BENCH report_store_ready %.3f s\n", static_cast<double>(timer.elapsed()) / 1000.0);
    std::printf("store %s\n", qPrintable(path));
    return 0;
}
