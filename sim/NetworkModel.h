// The simulated network as a pure function of its generator settings: which machines exist,
// which run the agent, their services, their users and the titles each user works with.
#pragma once

#include "sim/GeneratorSettings.h"

#include <cstdint>
#include <QString>
#include <string>
#include <utility>
#include <vector>

class NetworkModel {
public:
    static constexpr int kRunning = 4;
    static constexpr int kStopped = 1;
    static constexpr int kPaused = 7;

    // How the machine's service manager answers.
    enum class ServiceManager { Open, Unreachable, AccessDenied };

    struct User {
        std::string name;
        // Indexes into Machine::titles: the user's favourites first.
        std::vector<std::uint32_t> preference;
        // Titles open every day the user works (first in preference order).
        std::vector<std::uint32_t> pinned;
    };

    struct Machine {
        QString name;
        ServiceManager manager = ServiceManager::Open;
        // Ordinary services, then the agent's service when installed (agentState > 0).
        std::vector<std::pair<QString, int>> services;
        QString agentServiceName; // empty: the agent is not installed
        int agentState = 0;
        bool share = false; // publishes Vellumcrest$ with the agent database
        std::vector<std::string> titles;
        std::vector<User> users;
        bool unlistedRow = false; // gets the one usage row whose title is not in the title table
    };

    explicit NetworkModel(const GeneratorSettings& settings);

    const GeneratorSettings& settings() const { return m_settings; }
    const std::vector<Machine>& machines() const { return m_machines; }
    const Machine* machine(const QString& name) const;

    // services.ini lines of a machine.
    static QStringList servicesLines(const Machine& machine);
    // The services every machine has besides the agent; fixed per machine name so that a
    // rewritten services file gets the same ones back.
    static std::vector<std::pair<QString, int>> ordinaryServices(const QString& machineName);

    static QString machineName(int index, int count);

private:
    void buildMachines();
    void buildUsers();
    void buildTitles();
    void addQuirks();

    GeneratorSettings m_settings;
    std::vector<Machine> m_machines;
    std::vector<std::string> m_catalog;
};
