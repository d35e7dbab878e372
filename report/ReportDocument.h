#pragma once

#include "testrun/RunRecord.h"

#include <QString>

// The report of one run as an HTML document: the verdict in large letters,
// the unit's identity and calibration, the run, the steps with their limits
// and outcomes, the two figures, the linearity fit and the plan as run. The
// same text serves a browser and Qt's rich text (which prints the PDF), so
// it keeps to what both render: tables with attributes, inline styles, and
// well-formed tags, which also lets a program read the figures back.
namespace ReportDocument {

// Where the document finds its two figures: data URLs for a self-contained
// file, resource names for a QTextDocument.
struct Figures {
    QString errorChart;
    QString deviationChart;
};

QString html(const TestRun::RunRecord &record, const Figures &figures);

} // namespace ReportDocument
