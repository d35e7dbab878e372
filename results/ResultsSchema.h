#pragma once

#include <QCoreApplication>
#include <QString>

class ResultsDatabase;

// The tables of the results store, the same on SQLite and PostgreSQL but for
// the type of the run id. One row in schema_version says which version of
// them a database holds, so a later program can migrate it.
//
//   schema_version (version)
//   runs  (id, unit_id, firmware, hardware, cal_* (the calibration
//          parameters), plan_name, plan_json, started_utc, finished_utc,
//          host, operator, tool_version, verdict)
//   steps (run_id, step_index, reference_mm, frames_kept, frames_seen,
//          mean_mm, bias_mm, std_mm, min_mm, max_mm, median_mm,
//          blanked_percent, rate_hz, limit_* (NULL: not set), bias_check,
//          bias_bound_mm, std_check, std_bound_mm, blanked_check,
//          blanked_bound_percent, rate_check, rate_bound_hz, verdict, error)
//
// Times are text, timeText() of ResultsCodes. A figure that is not a number
// is NULL. A run whose finished_utc is NULL reads as INCOMPLETE.
class ResultsSchema {
    Q_DECLARE_TR_FUNCTIONS(ResultsSchema)
public:
    static constexpr int kVersion = 1;

    // Checks the schema of an open database: creates it when `create` and
    // the database has none, migrates an older one, refuses a newer one or
    // one that is damaged. `present` says whether the tables are there.
    static bool prepare(ResultsDatabase &db, bool create, bool &present);

private:
    static bool tableNames(ResultsDatabase &db, QStringList &names);
    static bool create(ResultsDatabase &db);
    static bool checkVersion(ResultsDatabase &db);
};
