// Workstation tree benchmark: times the Workstation Data page's network scan (the tree built from
// the scan, written to the registry) and its start-up tree from the registry, for a site of
// 10,000 machines on a simulated network (offscreen).
#include "base/Feedback.h"
#include "discovery/frameConfiguration.h"
#include "network/SimNetwork.h"
#include "store/ManagerDatabase.h"
#include "widgets/DesktopDialogRunner.h"

#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {
// A benchmark has no operator: messages go to the terminal.
class ConsoleFeedback : public Feedback {
public:
    Answer message(const QString& text, const QString& title, Icon, Buttons) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        return Answer::No;
    }
    void beep() override {}
    std::optional<QString> saveFileName(const FileDialog&) override { return std::nullopt; }
    std::optional<QString> openFileName(const FileDialog&) override { return std::nullopt; }
    bool print(QPrinter&) override { return false; }
};

bool writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int machines = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 10000;

    QTemporaryDir folder;
    const QString network = folder.filePath(QStringLiteral("net"));
    QStringList names;
    for (int i = 1; i <= machines; ++i) {
        const QString name = QStringLiteral("PC%1").arg(i, 5, 10, QLatin1Char('0'));
        names.append(name);
        QDir().mkpath(network + QLatin1Char('/') + name);
        if (!writeText(network + QLatin1Char('/') + name + QStringLiteral("/services.ini"),
                       "Spooler=4\nVCWorkstation=4\n"))
            return 2;
    }
    if (!writeText(network + QStringLiteral("/network.ini"),
                   "domain=BENCH\nenumeration=ok\nmachines=" + names.join(QLatin1Char(',')).toUtf8() + "\n"))
        return 2;

    const std::unique_ptr<ManagerDatabase> database =
        ManagerDatabase::open(folder.filePath(QStringLiteral("VCManager.mdb")));
    SimNetwork sim(network);
    ConsoleFeedback feedback;
    DesktopDialogRunner dialogs;
    frameConfiguration page(sim, feedback, dialogs);
    page.setDatabase(database.get());
    page.resize(700, 500);
    page.show();

    QElapsedTimer timer;
    timer.start();
    page.cmdScanNetworkClick();
    const double scan = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (page.workstationNodeCount() != machines) {
        std::fprintf(stderr, "the scan found %d of %d machines\n", page.workstationNodeCount(), machines);
        return 1;
    }
    timer.restart();
    page.loadTreeFromRegistry();
    app.processEvents();
    const double registry = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("BENCH workstation_tree_scan_%d %.3f s\n", machines, scan);
    std::printf("BENCH workstation_tree_registry_%d %.3f s\n", machines, registry);
    return 0;
}
