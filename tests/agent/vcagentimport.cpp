// Test tool for the Wine run: hands an agent's published file to the console through a
// simulated network folder and prints what the console imported, one "date|user|title|seconds"
// line per row. Usage: vcagentimport PUBLISHED_FILE WORK_DIR
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "network/SimNetwork.h"
#include "store/ManagerDatabase.h"
#include "support/ManagerFixture.h"
#include "support/SimNetworkWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 3) {
        err << "usage: vcagentimport PUBLISHED_FILE WORK_DIR\n";
        return 2;
    }
    try {
        const QString machine = QStringLiteral("WINE-WS1");
        SimNetworkWriter writer(args[2] + QStringLiteral("/network"));
        writer.writeNetwork(QStringLiteral("example.test"), {machine});
        writer.writeAgentService(machine, 4);
        const QString target = writer.agentDatabasePath(machine);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        if (!QFile::copy(args[1], target)) {
            err << "cannot copy " << args[1] << "\n";
            return 1;
        }

        const QString store = args[2] + QStringLiteral("/VCManager.mdb");
        const std::unique_ptr<ManagerDatabase> db = ManagerDatabase::open(store);
        db->addWorkstation(machine, true);
        SimNetwork network(writer.dir());
        DownloadSummary summary;
        {
            WorkstationMerge merge(*db);
            summary = downloadWorkstations(merge, network, {machine});
        }
        if (summary.merged != 1) {
            err << "the workstation was not merged (unreachable " << summary.unreachable << ", failed "
                << summary.failed << ")\n";
            return 1;
        }
        QStringList lines = ManagerFixture::query(
            store, QStringLiteral("SELECT Date, UserName, AppTitle, Duration FROM MGRDaySummary, "
                                  "MGRUsers, MGRAppTitles WHERE UserNameID = UserNameKey AND "
                                  "AppTitleID = AppTitleKey"));
        lines.sort();
        QTextStream out(stdout);
        for (const QString& line : lines)
            out << line << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << "import failed: " << e.what() << "\n";
        return 1;
    }
}
