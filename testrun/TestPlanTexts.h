#pragma once

#include "testrun/PlanValidation.h"

#include <QCoreApplication>
#include <QString>

// The texts about test plans that the windows and the command-line tool
// show. Translated in the context "TestPlanTexts".
class TestPlanTexts {
    Q_DECLARE_TR_FUNCTIONS(TestPlanTexts)

public:
    // Names the step (from 1 for people) or the plan, then the key and what is wrong.
    static QString errorText(const TestRun::PlanError &error);
    static QString fileUnreadable(const QString &path, const QString &reason);
    static QString fileUnwritable(const QString &path, const QString &reason);
    static QString notRegularFile();
    static QString fileTooLarge(qint64 size, qint64 limit);

private:
    static QString where(int step);
    static QString expectedText(TestRun::PlanError::Expected expected);
    static QString rangeText(const TestRun::PlanError &error);
};
