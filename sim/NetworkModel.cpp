// Builds the simulated network's machines, users and title pools from the generator settings.
#include "sim/NetworkModel.h"

#include "sim/Rng.h"
#include "sim/TitleCatalog.h"

#include <algorithm>
#include <array>
#include <QStringList>
#include <unordered_set>

namespace {

constexpr std::uint64_t kMachineStream = 0x6D616368696E65ULL;
constexpr std::uint64_t kUserStream = 0x7573657273ULL;
constexpr std::uint64_t kTitleStream = 0x706F6F6CULL;

const std::array<const char*, 64> kGivenNames = {
    "anna",   "ben",    "carla",  "david", "elena", "felix",  "greta", "hugo",   "ines",  "jonas",  "karin",
    "lars",   "maria",  "nils",   "olga",  "paul",  "quinn",  "rita",  "stefan", "tara",  "ulrich", "vera",
    "walter", "xenia",  "yusuf",  "zoe",   "amir",  "bella",  "chris", "dora",   "emil",  "fatima", "georg",
    "hanna",  "ivan",   "julia",  "kofi",  "lina",  "mehmet", "nora",  "oscar",  "petra", "rafael", "sofia",
    "theo",   "ursula", "viktor", "wanda", "yara",  "zeno",   "alice", "bruno",  "cleo",  "dario",  "edith",
    "frank",  "gina",   "henrik", "iris",  "jakob", "kira",   "leon",  "mila",   "noah",
};
const std::array<const char*, 16> kSurnames = {"berg",   "hale",  "nair",   "russo", "okoro",  "vogel",
                                               "porter", "lund",  "haddad", "marsh", "kramer", "diaz",
                                               "meyer",  "costa", "novak",  "sato"};

std::string userName(std::size_t index) {
    const std::size_t given = index % kGivenNames.size();
    const std::size_t round = index / kGivenNames.size();
    std::string name = kGivenNames[given];
    if (round > 0) {
        name += '.';
        name += kSurnames[(round - 1) % kSurnames.size()];
        if (round > kSurnames.size())
            name += std::to_string((round - 1) / kSurnames.size() + 1);
    }
    return name;
}

std::string capitalised(std::string name) {
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

bool hasDatabase(const NetworkModel::Machine& m) {
    return m.share;
}

} // namespace

NetworkModel::NetworkModel(const GeneratorSettings& settings) : m_settings(settings) {
    m_catalog = TitleCatalog::build(m_settings.seed, m_settings.titles);
    buildMachines();
    buildTitles();
    buildUsers();
    if (m_settings.quirks)
        addQuirks();
}

QString NetworkModel::machineName(int index, int count) {
    const int width = std::max(3, static_cast<int>(QString::number(count).size()));
    return QStringLiteral("WS") + QStringLiteral("%1").arg(index + 1, width, 10, QLatin1Char('0'));
}

std::vector<std::pair<QString, int>> NetworkModel::ordinaryServices(const QString& machineName) {
    Rng rng(Rng::hash(machineName.toStdString()));
    std::vector<std::pair<QString, int>> services = {
        {QStringLiteral("AudioSrv"), kRunning},     {QStringLiteral("Dhcp"), kRunning},
        {QStringLiteral("Dnscache"), kRunning},     {QStringLiteral("EventLog"), kRunning},
        {QStringLiteral("LanmanServer"), kRunning}, {QStringLiteral("LanmanWorkstation"), kRunning},
        {QStringLiteral("Schedule"), kRunning},     {QStringLiteral("Spooler"), kRunning},
        {QStringLiteral("Themes"), kRunning},
    };
    services.emplace_back(QStringLiteral("W32Time"), rng.chance(1, 3) ? kStopped : kRunning);
    services.emplace_back(QStringLiteral("wuauserv"), rng.chance(1, 2) ? kStopped : kRunning);
    if (rng.chance(1, 4))
        services.emplace_back(QStringLiteral("BITS"), rng.chance(1, 2) ? 2 : kStopped);
    if (rng.chance(1, 3))
        services.emplace_back(QStringLiteral("Fax"), kStopped);
    return services;
}

void NetworkModel::buildMachines() {
    const int count = m_settings.machines;
    Rng rng(Rng::mix(m_settings.seed, kMachineStream));
    // About one machine in six never had the agent installed.
    std::vector<bool> agent(static_cast<std::size_t>(count), true);
    for (int left = count / 6; left > 0;) {
        const auto i = rng.below(static_cast<std::uint32_t>(count));
        if (agent[i]) {
            agent[i] = false;
            --left;
        }
    }
    std::vector<int> agentMachines;
    for (int i = 0; i < count; ++i) {
        if (agent[static_cast<std::size_t>(i)])
            agentMachines.push_back(i);
    }
    // A few agents are not running: one stopped in every six, one paused on larger networks.
    std::vector<int> states(static_cast<std::size_t>(count), kRunning);
    const int agents = static_cast<int>(agentMachines.size());
    int stopped = agents >= 5 ? std::max(1, agents / 6) : 0;
    const int paused = agents >= 9 ? 1 : 0;
    int toPause = paused;
    while (stopped > 0 || toPause > 0) {
        const int i = agentMachines[rng.below(static_cast<std::uint32_t>(agents))];
        if (states[static_cast<std::size_t>(i)] != kRunning)
            continue;
        if (stopped > 0) {
            states[static_cast<std::size_t>(i)] = kStopped;
            --stopped;
        } else {
            states[static_cast<std::size_t>(i)] = kPaused;
            --toPause;
        }
    }
    const int total = count + (m_settings.quirks ? 3 : 0);
    for (int i = 0; i < count; ++i) {
        Machine m;
        m.name = machineName(i, total);
        m.services = ordinaryServices(m.name);
        if (agent[static_cast<std::size_t>(i)]) {
            m.agentServiceName = QStringLiteral("VCWorkstation");
            m.agentState = states[static_cast<std::size_t>(i)];
            m.share = true;
        }
        m_machines.push_back(std::move(m));
    }
}

void NetworkModel::buildTitles() {
    // Each machine works with part of the catalogue: the common titles plus a sample big enough
    // for a day's rows, so that larger rows-per-day values still find distinct titles.
    const auto catalogSize = m_catalog.size();
    const std::size_t common = std::min(TitleCatalog::commonTitles().size(), catalogSize);
    const std::size_t wanted = std::min(
        catalogSize,
        std::max<std::size_t>({60, catalogSize / 4, static_cast<std::size_t>(m_settings.rowsPerDay) * 2}));
    for (Machine& m : m_machines) {
        if (!hasDatabase(m))
            continue;
        Rng rng(Rng::mix(m_settings.seed ^ kTitleStream, Rng::hash(m.name.toStdString())));
        std::vector<std::uint32_t> order(catalogSize);
        for (std::size_t i = 0; i < catalogSize; ++i)
            order[i] = static_cast<std::uint32_t>(i);
        // The common titles stay; the rest is a partial shuffle of the remainder.
        for (std::size_t i = common; i < wanted; ++i) {
            const std::size_t j = i + rng.below(static_cast<std::uint32_t>(catalogSize - i));
            std::swap(order[i], order[j]);
        }
        m.titles.reserve(wanted);
        for (std::size_t i = 0; i < wanted; ++i)
            m.titles.push_back(m_catalog[order[i]]);
    }
}

void NetworkModel::buildUsers() {
    Rng rng(Rng::mix(m_settings.seed, kUserStream));
    std::size_t nextUser = 0;
    // Names already used on exactly one machine: candidates for a user who works on two.
    std::vector<std::string> single;
    for (Machine& m : m_machines) {
        if (!hasDatabase(m))
            continue;
        std::unordered_set<std::string> here;
        for (int slot = 0; slot < m_settings.usersPerMachine; ++slot) {
            std::string name;
            if (!single.empty() && rng.chance(1, 5)) {
                const auto k = rng.below(static_cast<std::uint32_t>(single.size()));
                if (here.count(single[k]) == 0) {
                    name = single[k];
                    single.erase(single.begin() + static_cast<std::ptrdiff_t>(k));
                }
            }
            if (name.empty()) {
                name = userName(nextUser++);
                single.push_back(name);
            }
            here.insert(name);
            User u;
            u.name = std::move(name);
            m.users.push_back(std::move(u));
        }
        for (User& u : m.users) {
            const auto n = m.titles.size();
            u.preference.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                u.preference[i] = static_cast<std::uint32_t>(i);
            for (std::size_t i = n; i > 1; --i)
                std::swap(u.preference[i - 1], u.preference[rng.below(static_cast<std::uint32_t>(i))]);
            // Everyone reads mail: the inbox (the first title) is open every working day.
            if (n > 0) {
                u.pinned.push_back(0);
                std::erase(u.preference, 0U);
                u.preference.insert(u.preference.begin(), 0U);
            }
        }
    }
}

void NetworkModel::addQuirks() {
    const int total = m_settings.machines + 3;
    // Indexes, not pointers: the machines added below move the vector.
    std::vector<std::size_t> withData;
    for (std::size_t i = 0; i < m_machines.size(); ++i) {
        if (hasDatabase(m_machines[i]) && m_machines[i].agentState == kRunning)
            withData.push_back(i);
    }
    // The agent runs but publishes no share.
    Machine noShare;
    noShare.name = machineName(m_settings.machines, total);
    noShare.services = ordinaryServices(noShare.name);
    noShare.agentServiceName = QStringLiteral("VCWorkstation");
    noShare.agentState = kRunning;
    // The service manager refuses the console.
    Machine denied;
    denied.name = machineName(m_settings.machines + 1, total);
    denied.manager = ServiceManager::AccessDenied;
    // The agent is installed under a name in the wrong letter case; its data is there.
    Machine lowerCase;
    lowerCase.name = machineName(m_settings.machines + 2, total);
    lowerCase.services = ordinaryServices(lowerCase.name);
    lowerCase.agentServiceName = QStringLiteral("vcworkstation");
    lowerCase.agentState = kRunning;
    lowerCase.share = true;
    if (!withData.empty()) {
        const Machine& model = m_machines[withData.front()];
        lowerCase.titles = model.titles;
        lowerCase.users.push_back(model.users.front());
        lowerCase.users.back().name = "administrator";
    }

    if (!withData.empty()) {
        Machine& first = m_machines[withData.front()];
        first.unlistedRow = true;
        // The same user and the same title, spelt differently on a second machine.
        if (withData.size() > 1) {
            Machine& second = m_machines[withData[1]];
            const std::string shared = first.users.front().name;
            auto same = std::find_if(second.users.begin(), second.users.end(),
                                     [&](const User& u) { return u.name == shared; });
            if (same != second.users.end()) {
                same->name = capitalised(shared);
            } else {
                User u = second.users.front();
                u.name = capitalised(shared);
                second.users.push_back(std::move(u));
            }
            if (!second.titles.empty() && second.titles.front() == TitleCatalog::commonTitles().front())
                second.titles.front() = TitleCatalog::kShoutedInbox;
        }
        // Awkward titles are open every day for some user, so every network shows them.
        std::size_t next = 0;
        for (const std::string& title : TitleCatalog::awkwardTitles()) {
            Machine& m = m_machines[withData[next % withData.size()]];
            User& u = m.users[(next / withData.size()) % m.users.size()];
            const auto index = static_cast<std::uint32_t>(m.titles.size());
            m.titles.push_back(title);
            u.pinned.push_back(index);
            u.preference.insert(u.preference.begin() + static_cast<std::ptrdiff_t>(u.pinned.size() - 1),
                                index);
            for (User& other : m.users) {
                if (&other != &u)
                    other.preference.push_back(index);
            }
            ++next;
        }
    }
    m_machines.push_back(std::move(noShare));
    m_machines.push_back(std::move(denied));
    m_machines.push_back(std::move(lowerCase));
}

const NetworkModel::Machine* NetworkModel::machine(const QString& name) const {
    for (const Machine& m : m_machines) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

QStringList NetworkModel::servicesLines(const Machine& machine) {
    switch (machine.manager) {
    case ServiceManager::Unreachable:
        return {QStringLiteral("unreachable")};
    case ServiceManager::AccessDenied:
        return {QStringLiteral("access denied")};
    case ServiceManager::Open:
        break;
    }
    std::vector<std::pair<QString, int>> services = machine.services;
    if (!machine.agentServiceName.isEmpty())
        services.emplace_back(machine.agentServiceName, machine.agentState);
    std::stable_sort(services.begin(), services.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    QStringList lines;
    for (const auto& [name, state] : services)
        lines << name + QLatin1Char('=') + QString::number(state);
    return lines;
}
