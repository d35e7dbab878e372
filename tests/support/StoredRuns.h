#pragma once

#include "results/ResultsReader.h"

#include <QDebug>

#include <vector>

// Every run a store holds, with its steps, newest first (narrowed by
// `filter`); a store that cannot be read gives none and says why.
inline std::vector<TestRun::RunRecord> storedRuns(const ResultsLocation &where, RunFilter filter = {})
{
    ResultsReader reader(where);
    filter.withSteps = true;
    std::vector<TestRun::RunRecord> runs;
    if (!reader.runs(filter, runs))
        qWarning() << reader.error();
    return runs;
}
