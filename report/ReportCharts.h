#pragma once

#include "testrun/RunRecord.h"

#include <QImage>
#include <QSize>

#include <vector>

// The report's two figures, drawn with QPainter into images (a
// QGuiApplication must exist for the text). `scale` multiplies the pixels
// of kSize, for sharper print; the image's device pixel ratio says so.
namespace ReportCharts {

constexpr QSize kSize(720, 300);

// Each step's bias (mean - reference) against its reference, inside the
// band of its bias limit; points green within it, red outside.
QImage errorChart(const std::vector<TestRun::StepResult> &steps, qreal scale);
// Each step's standard deviation against its reference, with its limit.
QImage deviationChart(const std::vector<TestRun::StepResult> &steps, qreal scale);

} // namespace ReportCharts
