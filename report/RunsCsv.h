#pragma once

#include "testrun/RunRecord.h"

#include <QCoreApplication>
#include <QString>

#include <vector>

// Stored runs exported for a spreadsheet: one row per step (a run without
// steps gives one row with its step cells empty), the run's columns repeated
// on each, so runs of different plans share one header. Figures as the report
// writes them; a step ended by an error or without kept frames leaves its
// figures empty rather than showing zeros. Texts translated in the context "RunsCsv".
class RunsCsv {
    Q_DECLARE_TR_FUNCTIONS(RunsCsv)

public:
    static QString header();
    static QString text(const std::vector<TestRun::RunRecord> &runs);
    // Writes all of it or leaves an earlier file as it was.
    static bool write(const QString &path, const std::vector<TestRun::RunRecord> &runs, QString *why);
};
