#pragma once

#include "cli/CommandLine.h"
#include "results/ResultsLocation.h"

#include <QString>

#include <optional>

// Where `run` and `results` keep accuracy runs: --results, else the settings
// file's ResultsDatabase, else results.sqlite in the working directory.
namespace ResultsChoice {

struct Choice {
    std::optional<ResultsLocation> location;
    QString error;   // why there is none
    int exitCode = 0; // for the error: a bad --results is a usage error, a bad setting a file's
};

Choice read(const Invocation &in);

} // namespace ResultsChoice
