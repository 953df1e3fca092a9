// Asks a network back end what the console's pages would show, for the namespace test and the
// benchmark: the enumeration, the domain name, the Check Workstations list from the page itself,
// one machine's file, and the start-up download of a list of machines.
#include "base/Feedback.h"
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "discovery/frameCheckWorkstations.h"
#include "discovery/WorkstationRegistry.h"
#include "network/MachineList.h"
#include "network/NetworkFactory.h"
#include "network/NetworkWorker.h"
#include "network/SmbNetwork.h"
#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/resource.h>

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
    std::fprintf(stderr, "usage: vcnetprobe SOURCE enumerate|domain|dumpable|check|fetch:MACHINE|pages:SIZE|"
                         "services:MACHINE|download:DATABASE\n");
    return 2;
}

// The day rows of a copied agent file, or why it cannot be read.
QString dayRows(const QString& path) {
    try {
        FileDatabase db(path, FileDatabase::Access::ReadOnly);
        SqlStatement count(db, "SELECT COUNT(*) FROM PCDaySummary");
        if (count.step())
            return QStringLiteral("%1 rows").arg(count.int64(0));
    } catch (const VcError&) {
    }
    return QStringLiteral("UNREADABLE: not a database");
}

} // namespace

int main(int argc, char** argv) {
    NetworkWorker::runIfAsked(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
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
        if (!machines)
            std::printf("ENUMERATION FAILED: %s\n", qPrintable(network->problem()));
        for (const QString& machine : machines.value_or(QStringList()))
            std::printf("%s\n", qPrintable(machine));
    } else if (command == QLatin1String("dumpable")) {
        rlimit core = {};
        ::getrlimit(RLIMIT_CORE, &core);
        std::printf("dumpable %d, core limit %llu\n", ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0),
                    static_cast<unsigned long long>(core.rlim_cur));
    } else if (command == QLatin1String("domain")) {
        std::printf("%s\n", qPrintable(network->domainName()));
    } else if (command == QLatin1String("check")) {
        frameCheckWorkstations page(*network, feedback);
        page.show();
        QElapsedTimer timer;
        timer.start();
        page.checkWorkstations();
        const qint64 took = timer.elapsed();
        const auto* list = page.findChild<QListWidget*>(QStringLiteral("lstCheck"));
        for (int i = 0; list && i < list->count(); ++i)
            std::printf("%s\n", qPrintable(list->item(i)->text()));
        // For the benchmark; the tests read standard output only.
        std::fprintf(stderr, "checked in %lld ms\n", static_cast<long long>(took));
    } else if (command.startsWith(QLatin1String("fetch:"))) {
        const ShareFile copy =
            network->openShareFile(command.mid(6), QStringLiteral("Data/VCWorkstation.mdb"));
        std::printf("%s\n",
                    qPrintable(copy ? dayRows(copy->path()) : QStringLiteral("UNREADABLE: ") + copy.reason));
    } else if (command.startsWith(QLatin1String("services:"))) {
        const Network::ServiceList list = network->services(command.mid(9), Network::kServiceStateAll);
        if (list.stage != Network::ServiceStage::Ok)
            std::printf("STAGE %d ERROR %d: %s\n", int(list.stage), list.errorCode, qPrintable(list.reason));
        for (const Network::ServiceEntry& entry : list.entries)
            std::printf("%s=%d\n", qPrintable(entry.name), entry.state);
    } else if (command.startsWith(QLatin1String("download:"))) {
        // Every machine of the settings' list file registered as monitored and downloaded into
        // a new manager database, as the start-up download does (from the registry, with no
        // directory asked first).
        auto* smb = dynamic_cast<SmbNetwork*>(network.get());
        if (!smb)
            return usage();
        const QStringList machines = MachineList::read(smb->config().listFile).names;
        const std::unique_ptr<ManagerDatabase> db = ManagerDatabase::open(command.mid(9));
        QList<WorkstationRegistry::Node> nodes;
        for (const QString& machine : machines)
            nodes.append({machine, true});
        WorkstationRegistry(*db).update(nodes);
        WorkstationMerge merge(*db);
        QElapsedTimer timer;
        timer.start();
        const DownloadSummary summary = downloadWorkstations(merge, *network, machines);
        for (const auto& [name, reason] : summary.notRead)
            std::printf("NOT READ %s: %s\n", qPrintable(name), qPrintable(reason));
        if (!summary.stopped.isEmpty())
            std::printf("STOPPED: %s\n", qPrintable(summary.stopped));
        std::printf("%d merged, %lld rows, %lld ms\n", summary.merged, summary.rowsImported,
                    static_cast<long long>(timer.elapsed()));
    } else if (command.startsWith(QLatin1String("pages:"))) {
        // The directory read in pages of the given size.
        auto* smb = dynamic_cast<SmbNetwork*>(network.get());
        const auto names = smb ? smb->directoryComputers(command.mid(6).toInt()) : std::nullopt;
        if (!names)
            std::printf("ENUMERATION FAILED: %s\n", qPrintable(network->problem()));
        for (const QString& name : names.value_or(QStringList()))
            std::printf("%s\n", qPrintable(name));
    } else {
        return usage();
    }
    std::fflush(stdout);
    return 0;
}
