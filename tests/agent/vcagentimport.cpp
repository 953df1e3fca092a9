// Test tool for the Wine run: hands an agent's published file to the console through a
// simulated network folder and prints what the console imported, one "date|user|title|seconds"
// line per row. Usage: vcagentimport PUBLISHED_FILE WORK_DIR
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "network/SimNetwork.h"
#include "store/ManagerDatabase.h"
#include "support/SimNetworkWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
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

        ManagerDatabase db(args[2] + QStringLiteral("/VCManager.mdb"));
        QSqlQuery add(db.db());
        add.prepare(QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, 1)"));
        add.addBindValue(machine);
        if (!add.exec()) {
            err << "cannot register the workstation\n";
            return 1;
        }
        SimNetwork network(writer.dir());
        DownloadSummary summary;
        {
            WorkstationMerge merge(db);
            summary = downloadWorkstations(merge, network, {machine});
        }
        if (summary.merged != 1) {
            err << "the workstation was not merged (unreachable " << summary.unreachable << ", failed "
                << summary.failed << ")\n";
            return 1;
        }
        QSqlQuery rows(db.db());
        rows.exec(QStringLiteral("SELECT Date, UserName, AppTitle, Duration FROM MGRDaySummary, MGRUsers, "
                                 "MGRAppTitles WHERE UserNameID = UserNameKey AND AppTitleID = AppTitleKey"));
        QStringList lines;
        while (rows.next())
            lines << QStringLiteral("%1|%2|%3|%4")
                         .arg(rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
                              rows.value(3).toString());
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
