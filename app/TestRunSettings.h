#pragma once

#include "runsession/RunSession.h"

#include <QString>

#include <optional>

class QSettings;

// Where accuracy runs go, as the settings file said at start. RunSession
// reads the keys (ResultsDatabase, ResultsCsv); the window only keeps the
// outcome, and never writes them back, so an address typed into the file
// stays as typed, also when it does not parse.
struct TestRunSettings {
    // Nothing when ResultsDatabase does not parse; `error` then says why.
    std::optional<RunSession::Outputs> outputs = RunSession::Outputs();
    QString error;

    void read(const QSettings &settings);
};
