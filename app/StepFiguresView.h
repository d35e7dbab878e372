#pragma once

#include "testrun/TestPlan.h"

#include <QGroupBox>

class QLabel;

// The figures of the step being measured, each beside the limit it is held
// to: green within it, red outside it, plain where the plan checks nothing.
// Each value label carries its outcome in the property "outcome" ("pass",
// "fail" or empty).
class StepFiguresView : public QGroupBox {
    Q_OBJECT
public:
    enum Figure { Frames, Mean, Bias, Std, Blanked, Rate, FigureCount };

    explicit StepFiguresView(QWidget *parent = nullptr);

    // The step's title and limits, its figures empty.
    void showStep(const TestRun::ResolvedStep &step);
    // The figures so far: `framesPlanned` is the step's N.
    void showFigures(const TestRun::StepResult &figures, qint64 framesPlanned, bool settling);
    void clear();

    QLabel *valueLabel(Figure figure) const { return values[figure]; }

private:
    void showLimits(const TestRun::Limits &limits, double referenceMm);
    void setValue(Figure figure, const QString &text, TestRun::Outcome outcome = TestRun::Outcome::NotChecked);

    QLabel *values[FigureCount] = {};
    QLabel *limitTexts[FigureCount] = {};
};
