// Shared test environment: fixed locale, test-mode paths, and where the built tools are.
#pragma once

#include <QString>
#include <QStringList>

class Network;

namespace TestEnv {

// Call first in initTestCase: test-mode standard paths, the en_US locale (short date
// M/d/yyyy), so that texts built from dates are the same on every machine.
void setUp();

// The build folder and the source folder of the project.
QString buildDir();
QString sourceDir();

// Path of the agent stand-in executable.
QString agentPath();

// Runs the agent stand-in with arguments; fails the calling test (returns false) on error.
bool runAgent(const QStringList& arguments, QString* output = nullptr);

// The network a console run builds for a --network value and program folder; it lives until
// the test program ends, so every window started on it may outlive the test function.
Network& network(const QString& source, const QString& programFolder);

} // namespace TestEnv
