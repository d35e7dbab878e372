#pragma once

#include "testrun/RunRecord.h"

#include <QCoreApplication>
#include <QString>

class QSettings;

// The lot summary for the engineers' spreadsheets: one CSV row per run,
// appended to the file the settings name. The columns follow the plan (the
// bias and standard deviation of each step, named by step and reference),
// so a file whose first line is another header belongs to another plan: the
// row then goes to the first free or matching file beside it
// ("results-2.csv", "results-3.csv", ...), never under a foreign header.
// Texts translated in the context "LotSummary".
class LotSummary {
    Q_DECLARE_TR_FUNCTIONS(LotSummary)

public:
    static constexpr int kMaxSiblings = 99;

    static QString settingsKey() { return QStringLiteral("ResultsCsv"); }
    static QString defaultFile() { return QStringLiteral("results.csv"); }
    static QString pathFromSettings(const QSettings &settings);

    // "time,unit_id,plan,verdict,step1_500mm_bias_mm,step1_500mm_std_mm,..."
    // for the steps of the plan the record ran (the record's own steps when
    // its plan text cannot be read).
    static QString header(const TestRun::RunRecord &record);
    // The run's line; a step without figures, not run or ended by an error
    // leaves its cells empty.
    static QString row(const TestRun::RunRecord &record);

    // Appends the row (and the header to a new file). Returns the file
    // written, which is `path` or a file beside it; empty with `why` set
    // when none could be written.
    static QString append(const QString &path, const TestRun::RunRecord &record, QString *why);
};
