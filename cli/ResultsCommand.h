#pragma once

#include "cli/CliCommand.h"
#include "results/ResultsLocation.h"
#include "testrun/RunRecord.h"

#include <string>
#include <vector>

// `results`: the stored accuracy runs, newest first, as a table or as JSON
// with every step, its figures, its checks and verdicts.
class ResultsCommand : public CliCommand {
    Q_OBJECT
public:
    ResultsCommand(const ResultsLocation &location, const QString &unitId, int last, bool json,
                   QObject *parent = nullptr);
    void start() override;

    static std::string jsonText(const std::vector<TestRun::RunRecord> &runs);
    static std::string tableText(const std::vector<TestRun::RunRecord> &runs);

private:
    ResultsLocation location;
    QString unitId;
    int last;
    bool json;
};
