#pragma once

#include "cli/CommandLine.h"

#include <QObject>
#include <QString>

#include <memory>

class CliCommand;

namespace Commands {

// The command an invocation names, its options read and checked; null with
// the reason in `error` and the exit status in `exitCode` when they do not
// make sense (a usage error, or a settings file naming no usable store).
std::unique_ptr<CliCommand> create(const Invocation &invocation, QString &error, int &exitCode);

} // namespace Commands
