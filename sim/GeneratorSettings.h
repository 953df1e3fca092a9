// What a simulated network is generated from; stored in network.ini so that a later run can
// rebuild the same machines and continue their days.
#pragma once

#include <cstdint>
#include <QDate>
#include <QString>

struct GeneratorSettings {
    int machines = 12;
    int usersPerMachine = 3;
    int titles = 300;
    int days = 90;
    QDate start = QDate(2026, 9, 1);
    int rowsPerDay = 40;
    std::uint64_t seed = 1;
    QString domain = QStringLiteral("SIMNET");
    bool quirks = false;
};
