// Asks a network back end what the console's pages would show, for the namespace test:
// the enumeration, the domain name, and the Check Workstations list from the page itself.
#include "base/Feedback.h"
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "discovery/frameCheckWorkstations.h"
#include "discovery/WorkstationRegistry.h"
#include "network/LdapDirectory.h"
#include "network/NetworkFactory.h"
#include "network/SmbCredentials.h"
#include "network/SmbNetworkConfig.h"
#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>

#include <cstdio>

namespace {

// Message boxes become "MESSAGE: text" lines among the results, in the order they came.
class PrintingFeedback : public Feedback {
public:
    Answer message(const QString& text, const QString&, Icon, Buttons) override {
        std::printf("MESSAGE: %s\n", qPrintable(text));
        return Answer::Ok;
    }
    void beep() override {}
    std::optional<QString> saveFileName(const FileDialog&) override { return std::nullopt; }
    std::optional<QString> openFileName(const FileDialog&) override { return std::nullopt; }
    bool print(QPrinter&) override { return false; }
};

int usage() {
    std::fprintf(
        stderr,
        "usage: vcnetprobe SOURCE enumerate|domain|check|fetch:MACHINE|pages:SIZE|download:DATABASE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return usage();
    std::unique_ptr<Network> network;
    try {
        network = createNetwork(args[1], QString());
    } catch (const VcError& error) {
        std::printf("REFUSED: %s\n", qPrintable(error.description()));
        return 3;
    }
    PrintingFeedback feedback;
    const QString command = args[2];
    if (command == QLatin1String("enumerate")) {
        const auto machines = network->enumerateMachines();
        if (!machines) {
            std::printf("ENUMERATION FAILED\n");
            std::fflush(stdout);
            return 0;
        }
        for (const QString& machine : *machines)
            std::printf("%s\n", qPrintable(machine));
    } else if (command == QLatin1String("domain")) {
        std::printf("%s\n", qPrintable(network->domainName()));
    } else if (command == QLatin1String("check")) {
        frameCheckWorkstations page(*network, feedback);
        page.show();
        page.checkWorkstations();
        const auto* list = page.findChild<QListWidget*>(QStringLiteral("lstCheck"));
        for (int i = 0; list && i < list->count(); ++i)
            std::printf("%s\n", qPrintable(list->item(i)->text()));
    } else if (command.startsWith(QLatin1String("fetch:"))) {
        // The day rows of the machine's agent file, or UNREADABLE.
        const auto copy = network->openShareFile(command.mid(6), QStringLiteral("Data/VCWorkstation.mdb"));
        if (!copy) {
            std::printf("UNREADABLE\n");
            std::fflush(stdout);
            return 0;
        }
        qint64 rows = 0;
        try {
            FileDatabase db(copy->path(), FileDatabase::Access::ReadOnly);
            SqlStatement count(db, "SELECT COUNT(*) FROM PCDaySummary");
            if (!count.step())
                throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("no count"));
            rows = count.int64(0);
        } catch (const VcError&) {
            std::printf("UNREADABLE\n");
            std::fflush(stdout);
            return 0;
        }
        std::printf("%lld rows\n", static_cast<long long>(rows));
    } else if (command.startsWith(QLatin1String("download:"))) {
        // For the benchmark: every machine of the settings' list file registered as monitored
        // and downloaded into a new manager database, as the start-up download does.
        const SmbNetworkConfig config = SmbNetworkConfig::load(args[1].mid(4));
        QFile list(config.machines);
        if (!list.open(QIODevice::ReadOnly))
            return usage();
        const QStringList machines =
            QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ManagerDatabase db(command.mid(9));
        QList<WorkstationRegistry::Node> nodes;
        for (const QString& machine : machines)
            nodes.append({machine.trimmed(), true});
        WorkstationRegistry(db).update(nodes);
        WorkstationMerge merge(db);
        QElapsedTimer timer;
        timer.start();
        const DownloadSummary summary = downloadWorkstations(merge, *network, machines);
        std::printf("%d merged, %lld rows, %lld ms\n", summary.merged, summary.rowsImported,
                    static_cast<long long>(timer.elapsed()));
    } else if (command.startsWith(QLatin1String("pages:"))) {
        // The directory read in pages of the given size, straight from the settings file.
        const SmbNetworkConfig config = SmbNetworkConfig::load(args[1].mid(4));
        QString error;
        const auto names = LdapDirectory::computers(config.machines, SmbCredentials::load(config.credentials),
                                                    config.timeoutSeconds, &error, command.mid(6).toInt());
        if (!names) {
            std::printf("ENUMERATION FAILED: %s\n", qPrintable(error));
            std::fflush(stdout);
            return 0;
        }
        for (const QString& name : *names)
            std::printf("%s\n", qPrintable(name));
    } else {
        return usage();
    }
    std::fflush(stdout);
    return 0;
}
