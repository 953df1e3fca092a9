// Reads the simulated network folder: network.ini, each machine's services.ini and its share.
#include "network/SimNetwork.h"

#include "network/ShareCopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// Lines of a UTF-8 text file, trimmed, without blank lines and '#' comments; nothing when the
// file cannot be read.
std::optional<QStringList> readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        lines << line;
    }
    return lines;
}

// A path component that stays inside its parent folder.
bool isSafeComponent(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

bool stateMatches(int state, int filter) {
    switch (filter) {
    case Network::kServiceActive:
        return state != 1;
    case Network::kServiceInactive:
        return state == 1;
    default:
        return true;
    }
}

} // namespace

SimNetwork::SimNetwork(QString dir) : m_dir(std::move(dir)) {}

std::optional<QHash<QString, QString>> SimNetwork::readNetworkIni() const {
    const auto lines = readLines(m_dir + QStringLiteral("/network.ini"));
    if (!lines)
        return std::nullopt;
    QHash<QString, QString> values;
    for (const QString& line : *lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        values.insert(line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed());
    }
    return values;
}

std::optional<QStringList> SimNetwork::enumerateMachines() {
    const auto values = readNetworkIni();
    if (!values)
        return std::nullopt;
    if (values->value(QStringLiteral("enumeration"), QStringLiteral("ok"))
            .compare(QLatin1String("ok"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    QStringList machines;
    for (const QString& name : values->value(QStringLiteral("machines")).split(QLatin1Char(','))) {
        const QString trimmed = name.trimmed();
        if (!trimmed.isEmpty())
            machines << trimmed;
    }
    return machines;
}

QString SimNetwork::domainName() {
    const auto values = readNetworkIni();
    return values ? values->value(QStringLiteral("domain")) : QString();
}

QString SimNetwork::machineFolder(const QString& machine) const {
    if (!isSafeComponent(machine))
        return QString();
    // Machine names ignore letter case: the registry keeps the first spelling it saw, which
    // need not be the folder's. The exact spelling wins; otherwise the first match in name order.
    const QString exact = m_dir + QLatin1Char('/') + machine;
    if (QFileInfo(exact).isDir())
        return exact;
    const QStringList folders = QDir(m_dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& folder : folders)
        if (folder.compare(machine, Qt::CaseInsensitive) == 0)
            return m_dir + QLatin1Char('/') + folder;
    return exact;
}

Network::ServiceList SimNetwork::services(const QString& machine, int stateFilter) {
    ServiceList result;
    const QString folder = machineFolder(machine);
    const auto lines = folder.isEmpty() ? std::nullopt : readLines(folder + QStringLiteral("/services.ini"));
    if (!lines) {
        result.stage = ServiceStage::ManagerUnavailable;
        result.failure = NetworkFailure::Unreachable;
        result.reason = QStringLiteral("the machine does not answer");
        return result;
    }
    std::optional<int> firstCallError;
    std::optional<int> secondCallError;
    for (const QString& line : *lines) {
        const bool unreachable = line.compare(QLatin1String("unreachable"), Qt::CaseInsensitive) == 0;
        if (unreachable || line.compare(QLatin1String("access denied"), Qt::CaseInsensitive) == 0) {
            result.stage = ServiceStage::ManagerUnavailable;
            result.failure = unreachable ? NetworkFailure::Unreachable : NetworkFailure::Refused;
            result.reason = unreachable ? QStringLiteral("the machine does not answer")
                                        : QStringLiteral("access denied by the service manager");
            result.entries.clear();
            return result;
        }
        const qsizetype eq = line.lastIndexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        bool ok = false;
        const int value = line.mid(eq + 1).trimmed().toInt(&ok);
        if (key == QLatin1String("first-call-error")) {
            if (!firstCallError)
                firstCallError = ok ? value : 0;
        } else if (key == QLatin1String("second-call-error")) {
            if (!secondCallError)
                secondCallError = ok ? value : 0;
        } else {
            result.entries.append({key, ok ? value : 0});
        }
    }

    // The size query answers "more data" unless told otherwise; an invalid filter is refused
    // there, as the real service manager does.
    int firstAnswer = kErrorMoreData;
    if (firstCallError)
        firstAnswer = *firstCallError;
    else if (stateFilter < kServiceActive || stateFilter > kServiceStateAll)
        firstAnswer = kErrorInvalidParameter;
    if (firstAnswer != kErrorMoreData) {
        result.stage = ServiceStage::FirstCall;
        result.errorCode = firstAnswer;
        result.entries.clear();
        return result;
    }
    if (secondCallError) {
        result.stage = ServiceStage::SecondCall;
        result.errorCode = *secondCallError;
        result.entries.clear();
        return result;
    }
    QList<ServiceEntry> filtered;
    for (const ServiceEntry& entry : std::as_const(result.entries))
        if (stateMatches(entry.state, stateFilter))
            filtered.append(entry);
    result.entries = filtered;
    return result;
}

void SimNetwork::prefetchShareFiles(const QStringList& machines, const QString& relativePath) {
    m_filesAhead.reset();
    m_filesAheadPath = relativePath;
    // One worker is enough for local files; a few copies ahead keep it busy.
    m_filesAhead = std::make_unique<OrderedPrefetch<ShareFile>>(
        machines, 1, 4,
        [this, relativePath](const QString& machine) { return copyShareFile(machine, relativePath); });
}

ShareFile SimNetwork::openShareFile(const QString& machine, const QString& relativePath) {
    if (m_filesAhead && relativePath == m_filesAheadPath) {
        if (std::optional<ShareFile> ready = m_filesAhead->take(machine))
            return std::move(*ready);
    }
    return copyShareFile(machine, relativePath);
}

ShareFile SimNetwork::copyShareFile(const QString& machine, const QString& relativePath) const {
    const auto failed = [](NetworkFailure failure, const QString& reason) {
        ShareFile file;
        file.failure = failure;
        file.reason = reason;
        return file;
    };
    const QString folder = machineFolder(machine);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return failed(NetworkFailure::Unreachable, QStringLiteral("the machine does not answer"));
    const QString share = folder + QStringLiteral("/Vellumcrest$");
    if (!QFileInfo(share).isDir())
        return failed(NetworkFailure::NoShare, QStringLiteral("the machine has no share Vellumcrest$"));
    QStringList parts;
    for (const QString& part : QString(relativePath)
                                   .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                   .split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!isSafeComponent(part))
            return failed(NetworkFailure::Other, QStringLiteral("not a file name: ") + relativePath);
        parts << part;
    }
    if (parts.isEmpty())
        return failed(NetworkFailure::Other, QStringLiteral("not a file name: ") + relativePath);
    const QString source = share + QLatin1Char('/') + parts.join(QLatin1Char('/'));
    if (!QFileInfo(source).isFile())
        return failed(NetworkFailure::NotPublished,
                      QStringLiteral("the agent has not published its file yet"));

    // The agent replaces its file by renaming a finished one over it, so one open file is
    // always a whole version; the copy reads through that one handle.
    ShareFile file;
    file.copy = ShareCopies::copyFile(source, parts.last());
    if (!file.copy)
        return failed(NetworkFailure::Other, QStringLiteral("the file could not be copied here"));
    return file;
}
