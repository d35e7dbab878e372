#pragma once

#include "results/ResultsLocation.h"
#include "settings/SettingsRules.h"
#include "testrun/RunRecord.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;
class RunRecorder;

namespace TestRun {
class TestRunner;
}

// Keeps what a test runner's runs leave behind: each run in the results
// store as it goes (its row when it starts, each finished step in its own
// transaction, a retried step replacing the earlier one, then its end and
// verdict), and at its end the report and one row of the lot summary. A run
// that never began (its unit unidentified) leaves nothing. The window and
// the command-line tool each make one beside their runner.
class RunSession : public QObject {
    Q_OBJECT
public:
    struct Outputs {
        // Where runs are stored, and where they go when that cannot be reached.
        ResultsLocation results = ResultsLocation::localDefault();
        ResultsLocation local = ResultsLocation::localDefault();
        // Both reports, .html and .pdf, named by RunReport::baseName(); made
        // when missing. Empty: none there.
        QString reportFolder;
        // One report, its kind by the suffix (.html, .htm or .pdf). Empty: none.
        QString reportFile;
        // The lot summary's file; empty: no row.
        QString lotCsv;

        // `results` from the settings key ResultsDatabase, `lotCsv` from
        // ResultsCsv (their defaults when absent). Nothing, with `why`, for
        // a ResultsDatabase value that does not parse: a typo must not send
        // results elsewhere.
        static std::optional<Outputs> fromSettings(const QSettings &settings, QString *why);
    };

    // What became of a run.
    struct Outcome {
        bool stored = false;     // the whole run, end and verdict included
        QString storedIn;        // the database that holds it, for people
        QString storeNotice;     // why it went to the local file; empty when it did not
        QString storeError;      // why it could not be stored (the last failure)
        QStringList reports;     // the files written
        QStringList reportErrors;
        QString lotCsv;          // the file the row went to; empty when none
        QString lotError;
    };

    static QString databaseKey() { return SettingsRules::resultsDatabaseKey(); }

    // `runner` must outlive the session.
    RunSession(TestRun::TestRunner *runner, const Outputs &outputs, QObject *parent = nullptr);
    ~RunSession() override;

    void setOutputs(const Outputs &outputs) { out = outputs; }
    const Outputs &outputs() const { return out; }
    // The run being kept or the last one kept, with its id in the store.
    const TestRun::RunRecord &record() const { return kept; }
    const Outcome &outcome() const { return result; }

signals:
    // The run went to the local file instead of the configured store.
    void storeNotice(const QString &text);
    // A write of the run failed; a later one tries again.
    void storeFailed(const QString &why);
    // The run is over and kept: stored, reported and summed up as far as
    // that went (see outcome()).
    void finished(const TestRun::RunRecord &record);

private:
    void onRunStarted(const TestRun::RunRecord &record);
    void onStepFinished(const TestRun::StepResult &step);
    void onRunFinished(const TestRun::RunRecord &record);
    void checkStore(bool ok);
    void writeReports();
    void writeLotRow();

    TestRun::TestRunner *runner;
    Outputs out;
    std::unique_ptr<RunRecorder> recorder;
    TestRun::RunRecord kept;
    Outcome result;
    bool noticeTold = false;
};
