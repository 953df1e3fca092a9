// Command-line front of the agent stand-in: parses options and writes the simulated network.
#include "sim/AgentCommands.h"

#include "sim/AgentDatabaseWriter.h"
#include "sim/DayUsage.h"
#include "sim/KeyValueFile.h"
#include "sim/NetworkModel.h"
#include "sim/TitleCatalog.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <limits>
#include <mutex>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <stdexcept>
#include <thread>

namespace AgentCommands {

namespace {

const char* const kUsage =
    "usage:\n"
    "  vcnetsim generate    --network DIR [--machines N] [--users N] [--titles N] [--days N]\n"
    "                            [--start YYYY-MM-DD] [--rows-per-day N] [--seed N] [--domain NAME] "
    "[--quirks]\n"
    "  vcnetsim advance     --network DIR [--days N]\n"
    "  vcnetsim service     --network DIR --machine NAME --state 1..7|missing|unreachable|denied\n"
    "  vcnetsim enumeration --network DIR --ok|--fail\n";

const QString kAgentService = QStringLiteral("VCWorkstation");
const QString kUnreachable = QStringLiteral("unreachable");
const QString kAccessDenied = QStringLiteral("access denied");

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Options of one command: "--name value", "--name=value" or a bare flag.
class Options {
public:
    Options(const QStringList& arguments, const QStringList& valued, const QStringList& flags) {
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            QString arg = arguments[i];
            if (!arg.startsWith(QLatin1String("--")))
                throw UsageError("unexpected argument: " + arg.toStdString());
            arg = arg.mid(2);
            std::optional<QString> inlineValue;
            if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq >= 0) {
                inlineValue = arg.mid(eq + 1);
                arg = arg.left(eq);
            }
            if (m_values.contains(arg))
                throw UsageError("--" + arg.toStdString() + " given twice");
            if (flags.contains(arg) && !inlineValue) {
                m_values.insert(arg, QString());
            } else if (valued.contains(arg)) {
                if (!inlineValue && i + 1 >= arguments.size())
                    throw UsageError("--" + arg.toStdString() + " needs a value");
                m_values.insert(arg, inlineValue ? *inlineValue : arguments[++i]);
            } else {
                throw UsageError("unknown option --" + arg.toStdString());
            }
        }
    }

    bool has(const QString& name) const { return m_values.contains(name); }
    QString text(const QString& name, const QString& fallback = {}) const {
        return m_values.value(name, fallback);
    }

    QString required(const QString& name) const {
        if (!has(name) || m_values.value(name).isEmpty())
            throw UsageError("--" + name.toStdString() + " is required");
        return m_values.value(name);
    }

    long long integer(const QString& name, long long fallback, long long low, long long high) const {
        if (!has(name))
            return fallback;
        bool ok = false;
        const long long v = m_values.value(name).toLongLong(&ok);
        if (!ok || v < low || v > high)
            throw UsageError("--" + name.toStdString() + " must be a whole number from " +
                             std::to_string(low) + " to " + std::to_string(high));
        return v;
    }

private:
    QHash<QString, QString> m_values;
};

std::uint64_t parseSeed(const QString& text, bool* ok) {
    return text.toULongLong(ok);
}

QDate parseDate(const QString& text) {
    return QDate::fromString(text, Qt::ISODate);
}

QString networkIniPath(const QString& dir) {
    return dir + QStringLiteral("/network.ini");
}
QString servicesPath(const QString& dir, const QString& machine) {
    return dir + QLatin1Char('/') + machine + QStringLiteral("/services.ini");
}
QString shareDir(const QString& dir, const QString& machine) {
    return dir + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$");
}
QString databasePath(const QString& dir, const QString& machine) {
    return shareDir(dir, machine) + QStringLiteral("/Data/VCWorkstation.mdb");
}

void makePath(const QString& path) {
    if (!QDir().mkpath(path))
        throw std::runtime_error("cannot create folder " + path.toStdString());
}

// Runs work(i) for every i on a few threads; databases are independent, so the output does not
// depend on the order. Rethrows the first failure.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& work) {
    const std::size_t workers =
        std::min<std::size_t>(count, std::max(1U, std::thread::hardware_concurrency()));
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::string firstError;
    auto loop = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (const std::exception& e) {
                const std::lock_guard<std::mutex> guard(lock);
                if (firstError.empty())
                    firstError = e.what();
                next = count;
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < workers; ++t)
        threads.emplace_back(loop);
    loop();
    for (std::thread& t : threads)
        t.join();
    if (!firstError.empty())
        throw std::runtime_error(firstError);
}

std::string dateText(QDate day) {
    return day.toString(Qt::ISODate).toStdString();
}

// Appends days [from, from + count) of one machine's usage through writer.
void writeDays(const NetworkModel& model, const NetworkModel::Machine& machine, QDate from, int count,
               AgentDatabaseWriter& writer) {
    std::vector<DayUsage::Row> rows;
    // Names go into the name tables when first used, which keeps their order that of first use.
    std::vector<char> userListed(machine.users.size(), 0);
    std::vector<char> titleListed(machine.titles.size(), 0);
    char timed[32];
    for (int d = 0; d < count; ++d) {
        const QDate day = from.addDays(d);
        const std::string date = dateText(day);
        DayUsage::generate(model, machine, day, rows);
        for (const DayUsage::Row& row : rows) {
            std::string_view text = date;
            if (row.timeOfDay >= 0) {
                std::snprintf(timed, sizeof timed, "%s %02d:%02d:%02d", date.c_str(), row.timeOfDay / 3600,
                              row.timeOfDay / 60 % 60, row.timeOfDay % 60);
                text = timed;
            }
            const std::string& user = machine.users[row.user].name;
            const std::string& title = machine.titles[row.title];
            if (!userListed[row.user]) {
                writer.listUser(user);
                userListed[row.user] = 1;
            }
            if (!titleListed[row.title]) {
                writer.listTitle(title);
                titleListed[row.title] = 1;
            }
            writer.addRow(text, user, title, row.seconds);
        }
    }
}

QStringList closedServiceLines() {
    return {kUnreachable, kAccessDenied};
}

bool serviceManagerClosed(const KeyValueFile& file) {
    return file.lines().size() == 1 && closedServiceLines().contains(file.lines().front().trimmed());
}

QStringList listedMachines(const KeyValueFile& ini) {
    QStringList machines;
    for (const QString& name :
         ini.value(QStringLiteral("machines")).value_or(QString()).split(QLatin1Char(','))) {
        if (!name.trimmed().isEmpty())
            machines << name.trimmed();
    }
    return machines;
}

KeyValueFile loadNetwork(const QString& dir) {
    if (!QFileInfo(networkIniPath(dir)).isFile())
        throw std::runtime_error("no simulated network in " + dir.toStdString() +
                                 " (network.ini is missing)");
    return KeyValueFile::load(networkIniPath(dir));
}

int generate(const QStringList& arguments, QTextStream& out) {
    const Options opts(arguments,
                       {QStringLiteral("network"), QStringLiteral("machines"), QStringLiteral("users"),
                        QStringLiteral("titles"), QStringLiteral("days"), QStringLiteral("start"),
                        QStringLiteral("rows-per-day"), QStringLiteral("seed"), QStringLiteral("domain")},
                       {QStringLiteral("quirks")});
    const QString dir = opts.required(QStringLiteral("network"));
    GeneratorSettings s;
    s.machines = static_cast<int>(opts.integer(QStringLiteral("machines"), s.machines, 1, 9999));
    s.usersPerMachine = static_cast<int>(opts.integer(QStringLiteral("users"), s.usersPerMachine, 1, 1000));
    s.titles = static_cast<int>(opts.integer(QStringLiteral("titles"), s.titles, 1, 1000000));
    s.days = static_cast<int>(opts.integer(QStringLiteral("days"), s.days, 0, 36600));
    s.rowsPerDay = static_cast<int>(opts.integer(QStringLiteral("rows-per-day"), s.rowsPerDay, 0, 1000000));
    if (opts.has(QStringLiteral("start"))) {
        s.start = parseDate(opts.text(QStringLiteral("start")));
        if (!s.start.isValid())
            throw UsageError("--start must be a date YYYY-MM-DD");
    }
    if (opts.has(QStringLiteral("seed"))) {
        bool ok = false;
        s.seed = parseSeed(opts.text(QStringLiteral("seed")), &ok);
        if (!ok)
            throw UsageError("--seed must be a whole number from 0 to 18446744073709551615");
    }
    if (opts.has(QStringLiteral("domain"))) {
        s.domain = opts.text(QStringLiteral("domain")).trimmed();
        if (s.domain.isEmpty() || s.domain.contains(QLatin1Char('\n')) ||
            s.domain.contains(QLatin1Char('\r')))
            throw UsageError("--domain must be a name on one line");
    }
    s.quirks = opts.has(QStringLiteral("quirks"));

    const NetworkModel model(s);
    makePath(dir);
    std::vector<const NetworkModel::Machine*> withData;
    int agents = 0;
    for (const NetworkModel::Machine& m : model.machines()) {
        makePath(dir + QLatin1Char('/') + m.name);
        KeyValueFile services;
        services.setLines(NetworkModel::servicesLines(m));
        services.save(servicesPath(dir, m.name));
        if (!m.agentServiceName.isEmpty())
            ++agents;
        if (m.share) {
            makePath(shareDir(dir, m.name) + QStringLiteral("/Data"));
            withData.push_back(&m);
        } else {
            // A network generated over an older one must not keep a share this machine lacks.
            QFile::remove(databasePath(dir, m.name));
            QDir().rmdir(shareDir(dir, m.name) + QStringLiteral("/Data"));
            QDir().rmdir(shareDir(dir, m.name));
            if (QFileInfo::exists(shareDir(dir, m.name)))
                throw std::runtime_error("cannot remove the old share folder " +
                                         shareDir(dir, m.name).toStdString());
        }
    }
    std::vector<long long> rows(withData.size(), 0);
    parallelFor(withData.size(), [&](std::size_t i) {
        const NetworkModel::Machine& m = *withData[i];
        AgentDatabaseWriter writer(databasePath(dir, m.name), AgentDatabaseWriter::Mode::Create);
        writeDays(model, m, s.start, s.days, writer);
        if (m.unlistedRow && s.days > 0 && !m.users.empty()) {
            static const std::string unlisted = TitleCatalog::kUnlistedTitle;
            writer.addRow(dateText(s.start.addDays(s.days - 1)), m.users.front().name, unlisted, 300);
        }
        rows[i] = writer.rowsAdded();
        writer.commit();
    });

    KeyValueFile ini;
    QStringList names;
    for (const NetworkModel::Machine& m : model.machines())
        names << m.name;
    ini.setLines({QStringLiteral("# Simulated network written by vcnetsim; the generator-* keys let it be "
                                 "continued with \"advance\".")});
    ini.setValue(QStringLiteral("domain"), s.domain);
    ini.setValue(QStringLiteral("enumeration"), QStringLiteral("ok"));
    ini.setValue(QStringLiteral("machines"), names.join(QLatin1Char(',')));
    ini.setValue(QString::fromLatin1(kSeedKey), QString::number(s.seed));
    ini.setValue(QString::fromLatin1(kMachinesKey), QString::number(s.machines));
    ini.setValue(QString::fromLatin1(kUsersKey), QString::number(s.usersPerMachine));
    ini.setValue(QString::fromLatin1(kTitlesKey), QString::number(s.titles));
    ini.setValue(QString::fromLatin1(kRowsPerDayKey), QString::number(s.rowsPerDay));
    ini.setValue(QString::fromLatin1(kQuirksKey), s.quirks ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(QString::fromLatin1(kStartKey), s.start.toString(Qt::ISODate));
    ini.setValue(QString::fromLatin1(kDaysKey), QString::number(s.days));
    ini.save(networkIniPath(dir));

    long long total = 0;
    for (const long long r : rows)
        total += r;
    out << "generated " << dir << ": " << model.machines().size() << " machines, " << agents
        << " with the agent, " << withData.size() << " databases, " << total << " rows over " << s.days
        << " days\n";
    return kExitOk;
}

GeneratorSettings storedSettings(const KeyValueFile& ini) {
    auto number = [&](const char* key, long long low, long long high) {
        bool ok = false;
        const long long v = ini.value(QString::fromLatin1(key)).value_or(QString()).toLongLong(&ok);
        if (!ok || v < low || v > high)
            throw std::runtime_error(std::string("network.ini has no valid ") + key +
                                     "; only networks written by \"generate\" can be advanced");
        return v;
    };
    GeneratorSettings s;
    bool ok = false;
    s.seed = parseSeed(ini.value(QString::fromLatin1(kSeedKey)).value_or(QString()), &ok);
    if (!ok)
        throw std::runtime_error(std::string("network.ini has no valid ") + kSeedKey +
                                 "; only networks written by \"generate\" can be advanced");
    s.machines = static_cast<int>(number(kMachinesKey, 1, 9999));
    s.usersPerMachine = static_cast<int>(number(kUsersKey, 1, 1000));
    s.titles = static_cast<int>(number(kTitlesKey, 1, 1000000));
    s.rowsPerDay = static_cast<int>(number(kRowsPerDayKey, 0, 1000000));
    s.quirks = number(kQuirksKey, 0, 1) == 1;
    s.start = parseDate(ini.value(QString::fromLatin1(kStartKey)).value_or(QString()));
    if (!s.start.isValid())
        throw std::runtime_error(std::string("network.ini has no valid ") + kStartKey);
    s.domain = ini.value(QStringLiteral("domain")).value_or(s.domain);
    return s;
}

int advance(const QStringList& arguments, QTextStream& out) {
    const Options opts(arguments, {QStringLiteral("network"), QStringLiteral("days")}, {});
    const QString dir = opts.required(QStringLiteral("network"));
    const int days = static_cast<int>(opts.integer(QStringLiteral("days"), 1, 1, 36600));
    const KeyValueFile ini = loadNetwork(dir);
    const NetworkModel model(storedSettings(ini));

    // The agent records a day only where its service runs (in whatever letter case it was
    // registered) and where its database is published.
    std::vector<const NetworkModel::Machine*> running;
    for (const QString& name : listedMachines(ini)) {
        const NetworkModel::Machine* m = model.machine(name);
        const KeyValueFile services = KeyValueFile::load(servicesPath(dir, name));
        if (!m || serviceManagerClosed(services) || !QFileInfo(databasePath(dir, name)).isFile())
            continue;
        if (services.value(kAgentService, Qt::CaseInsensitive) == QString::number(NetworkModel::kRunning))
            running.push_back(m);
    }
    std::vector<long long> rows(running.size(), 0);
    parallelFor(running.size(), [&](std::size_t i) {
        const NetworkModel::Machine& m = *running[i];
        AgentDatabaseWriter writer(databasePath(dir, m.name), AgentDatabaseWriter::Mode::Append);
        const std::optional<std::string> newest = writer.newestDay();
        QDate from = model.settings().start;
        if (newest) {
            const QDate last = parseDate(QString::fromStdString(*newest));
            if (!last.isValid())
                throw std::runtime_error("unreadable newest day \"" + *newest + "\" in " +
                                         databasePath(dir, m.name).toStdString());
            from = last.addDays(1);
        }
        writeDays(model, m, from, days, writer);
        rows[i] = writer.rowsAdded();
        writer.commit();
    });
    long long total = 0;
    for (const long long r : rows)
        total += r;
    out << "advanced " << dir << ": " << running.size() << " machines by " << days
        << (days == 1 ? " day, " : " days, ") << total << " rows\n";
    return kExitOk;
}

int service(const QStringList& arguments, QTextStream& out) {
    const Options opts(arguments,
                       {QStringLiteral("network"), QStringLiteral("machine"), QStringLiteral("state")}, {});
    const QString dir = opts.required(QStringLiteral("network"));
    const QString machine = opts.required(QStringLiteral("machine"));
    const QString state = opts.required(QStringLiteral("state"));
    bool numeric = false;
    const int code = state.toInt(&numeric);
    if (numeric
            ? (code < 1 || code > 7)
            : !QStringList{QStringLiteral("missing"), kUnreachable, QStringLiteral("denied")}.contains(state))
        throw UsageError("--state must be 1 to 7, missing, unreachable or denied");
    const KeyValueFile ini = loadNetwork(dir);
    if (!listedMachines(ini).contains(machine))
        throw std::runtime_error("no machine " + machine.toStdString() + " in " +
                                 networkIniPath(dir).toStdString());

    const QString path = servicesPath(dir, machine);
    KeyValueFile services = KeyValueFile::load(path);
    if (state == kUnreachable) {
        services.setLines({kUnreachable});
    } else if (state == QLatin1String("denied")) {
        services.setLines({kAccessDenied});
    } else {
        // A manager that was closed opens again with the machine's ordinary services.
        if (services.lines().isEmpty() || serviceManagerClosed(services)) {
            NetworkModel::Machine plain;
            plain.services = NetworkModel::ordinaryServices(machine);
            services.setLines(NetworkModel::servicesLines(plain));
        }
        // The agent's service is one service whatever case it was registered in.
        if (numeric)
            services.setValue(kAgentService, QString::number(code), Qt::CaseInsensitive);
        else
            services.remove(kAgentService, Qt::CaseInsensitive);
    }
    makePath(dir + QLatin1Char('/') + machine);
    services.save(path);
    out << machine << ": " << (numeric ? kAgentService + QLatin1Char('=') + state : state) << "\n";
    return kExitOk;
}

int enumeration(const QStringList& arguments, QTextStream& out) {
    const Options opts(arguments, {QStringLiteral("network")},
                       {QStringLiteral("ok"), QStringLiteral("fail")});
    const QString dir = opts.required(QStringLiteral("network"));
    if (opts.has(QStringLiteral("ok")) == opts.has(QStringLiteral("fail")))
        throw UsageError("give exactly one of --ok and --fail");
    const QString value = opts.has(QStringLiteral("ok")) ? QStringLiteral("ok") : QStringLiteral("fail");
    KeyValueFile ini = loadNetwork(dir);
    ini.setValue(QStringLiteral("enumeration"), value);
    ini.save(networkIniPath(dir));
    out << "enumeration=" << value << "\n";
    return kExitOk;
}

} // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    try {
        if (arguments.isEmpty())
            throw UsageError("no command given");
        const QString command = arguments.front();
        if (command == QLatin1String("generate"))
            return generate(arguments, out);
        if (command == QLatin1String("advance"))
            return advance(arguments, out);
        if (command == QLatin1String("service"))
            return service(arguments, out);
        if (command == QLatin1String("enumeration"))
            return enumeration(arguments, out);
        if (command == QLatin1String("--help") || command == QLatin1String("help")) {
            out << kUsage;
            return kExitOk;
        }
        throw UsageError("unknown command " + command.toStdString());
    } catch (const UsageError& e) {
        err << "vcnetsim: " << e.what() << "\n" << kUsage;
        return kExitUsage;
    } catch (const std::exception& e) {
        err << "vcnetsim: " << e.what() << "\n";
        return kExitFailure;
    }
}

} // namespace AgentCommands
