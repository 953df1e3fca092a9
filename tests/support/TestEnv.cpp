// Test environment helpers.
#include "support/TestEnv.h"

#include "network/NetworkFactory.h"

#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <vector>

namespace TestEnv {

void setUp() {
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

QString buildDir() {
    return QStringLiteral(VC_BUILD_DIR);
}

QString sourceDir() {
    return QStringLiteral(VC_SOURCE_DIR);
}

QString agentPath() {
    return buildDir() + QStringLiteral("/vcnetsim");
}

bool runAgent(const QStringList& arguments, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(agentPath(), arguments);
    if (!process.waitForFinished(600000)) {
        qWarning() << "vcnetsim did not finish" << arguments;
        return false;
    }
    const QString text = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = text;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning().noquote() << "vcnetsim failed" << arguments << text;
        return false;
    }
    return true;
}

Network& network(const QString& source, const QString& programFolder) {
    static std::vector<std::unique_ptr<Network>> networks;
    networks.push_back(createNetwork(source, programFolder));
    return *networks.back();
}

} // namespace TestEnv
