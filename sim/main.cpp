// The agent stand-in: writes and changes a simulated network of workstations.
#include "sim/AgentCommands.h"

#include <cstdio>
#include <QStringList>
#include <QTextStream>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int code = AgentCommands::run(arguments, out, err);
    out.flush();
    err.flush();
    return code;
}
