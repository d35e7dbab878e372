#pragma once

#include <QString>

class QSettings;

// Where accuracy runs keep their results, as the settings file names it:
// ResultsDatabase (an SQLite file or a PostgreSQL URL) and ResultsCsv (the
// lot summary). The texts are kept as the user wrote them, also when they do
// not parse, so that a typo is reported by the windows and not replaced by a
// default at the next exit.
struct TestRunSettings {
    static constexpr const char *kDatabaseKey = "ResultsDatabase";
    static constexpr const char *kSummaryKey = "ResultsCsv";
    static constexpr const char *kDefaultDatabase = "results.sqlite";
    static constexpr const char *kDefaultSummary = "results.csv";

    QString resultsDatabase = QString::fromLatin1(kDefaultDatabase);
    QString resultsCsv = QString::fromLatin1(kDefaultSummary);

    // A missing or empty key gives its default.
    void read(const QSettings &settings);
    void write(QSettings &settings) const;
};
