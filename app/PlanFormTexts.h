#pragma once

#include "testrun/PlanValidation.h"
#include "testrun/TestPlan.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// A test plan as the plan editor shows it: every value as the text of its
// field or cell, so that what the user typed is kept until it is saved, and
// the conversion both ways can be tested without a window. Numbers are
// written in their shortest exact form, so a plan read from a file and
// written back keeps every value.
namespace PlanFormTexts {

// The columns of the steps table; an empty cell takes the plan's value.
enum Column {
    ColReference,
    ColFrames,
    ColSettle,
    ColQuantity,
    ColMinConfidence,
    ColBiasMm,
    ColBiasPercent,
    ColStdMm,
    ColBlankedPercent,
    ColMinRateHz,
    ColCommand,
    ColumnCount
};
constexpr int kLimitCount = 5; // ColBiasMm .. ColMinRateHz, in that order

// The key a column edits, as the plan file and the refusal messages name
// it ("reference_mm", "limits.std_mm"); columnOfKey(-1) for a key no column holds.
QString columnKey(int column);
int columnOfKey(const QString &key);

struct Texts {
    QString name;
    std::optional<QString> frames; // nothing: each step gives its own
    QString settleS;
    QString quantity; // "first" or "mean"
    QString minConfidence;
    // bias_mm, bias_percent, std_mm, blanked_percent, min_rate_hz; nothing: not checked
    std::array<std::optional<QString>, kLimitCount> limits;
    QString commandTimeoutS;
    std::vector<QStringList> steps; // ColumnCount cells each

    bool operator==(const Texts &other) const;
    bool operator!=(const Texts &other) const { return !(*this == other); }
};

QString numberText(double value);
Texts textsOf(const TestRun::TestPlan &plan);
// The plan the texts describe, or nothing with `error` naming the step and
// the key whose text is no value of its kind (a word where a number goes, a
// fraction of a frame, an empty field that must be filled). The ranges the
// plan must keep are validatePlan's to check.
std::optional<TestRun::TestPlan> planOf(const Texts &texts, TestRun::PlanError *error);

} // namespace PlanFormTexts
