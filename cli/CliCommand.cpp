#include "cli/CliCommand.h"

#include "cli/ExitCode.h"

#include <QCoreApplication>

void CliCommand::interrupt(int signal, int)
{
    finish(ExitCode::interrupted(signal));
}

void CliCommand::finish(int exitCode)
{
    if (ended)
        return;
    ended = true;
    code = exitCode;
    emit finished(code);
    QCoreApplication::exit(code);
}
