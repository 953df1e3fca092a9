// Shared test environment: fixed locale, test-mode paths, and where the built tools are.
#pragma once

#include <QObject>
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

// The child of parent with the objectName (a control's system name, a page's class name);
// stops the test program, naming what is missing, when there is none, so a renamed control fails
// loudly instead of crashing somewhere later.
template <typename T> T* child(const QObject* parent, const QString& name = QString()) {
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no %s named \"%s\" in %s", T::staticMetaObject.className(), qPrintable(name),
               qPrintable(parent->objectName()));
    return found;
}

} // namespace TestEnv
