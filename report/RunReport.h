#pragma once

#include "testrun/RunRecord.h"

#include <QCoreApplication>
#include <QString>

class QPdfWriter;
class QSaveFile;
class QTextDocument;

// Writes the report of a run: a self-contained HTML file (figures inline as
// PNG data) or a PDF. Drawing text needs a QGuiApplication (the command-line
// tool makes one on the offscreen platform); without one, or when the file
// cannot be written, the writers return false with the reason and leave any
// earlier file of that name as it was. The reasons are translated in the
// context "RunReport"; the report itself is in English, as a record.
class RunReport {
    Q_DECLARE_TR_FUNCTIONS(RunReport)

public:
    explicit RunReport(const TestRun::RunRecord &record);

    bool writeHtml(const QString &path, QString *why) const;
    bool writePdf(const QString &path, QString *why) const;
    // By the name's suffix: ".pdf" a PDF, ".html" or ".htm" HTML; any other
    // suffix is refused.
    bool write(const QString &path, QString *why) const;

    // The HTML document with its figures inline; empty without a QGuiApplication.
    QString html() const;

    // "accuracy-<unit id>-<start, UTC>", safe as a file name on every system.
    static QString baseName(const TestRun::RunRecord &record);

private:
    static bool canDrawText(QString *why);
    static bool commitFailed(QSaveFile &file, const QString &path, QString *why);
    void printPages(QTextDocument &document, QPdfWriter &pdf) const;

    TestRun::RunRecord record;
};
