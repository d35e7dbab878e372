#include "app/PlanFormTexts.h"

#include <QLocale>

#include <cmath>

using namespace TestRun;

namespace PlanFormTexts {

namespace {

const char *const kColumnKeys[ColumnCount] = {"reference_mm",       "frames",          "settle_s",
                                              "quantity",           "min_confidence",  "limits.bias_mm",
                                              "limits.bias_percent", "limits.std_mm",  "limits.blanked_percent",
                                              "limits.min_rate_hz", "command"};

const QString kFirst = QStringLiteral("first");
const QString kMean = QStringLiteral("mean");

std::optional<double> Limits::*const kLimitMembers[kLimitCount] = {
    &Limits::biasMm, &Limits::biasPercent, &Limits::stdMm, &Limits::blankedPercent, &Limits::minRateHz};

QString quantityText(Quantity q)
{
    return q == Quantity::FirstPoint ? kFirst : kMean;
}

// Reads texts into values, stopping at the first that is none; `step` and
// the key name the field in the error.
class FieldReader {
public:
    FieldReader(PlanError &error, int step)
        : error(error)
        , step(step)
    {
    }

    // Nothing for an empty text; false for a text that is no finite number.
    bool number(const QString &text, const QString &key, std::optional<double> &out)
    {
        const QString t = text.trimmed();
        if (t.isEmpty())
            return true;
        // No thousands separators: "1,500" must not read as 1500 where 1.5 was meant.
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        bool ok = false;
        const double v = c.toDouble(t, &ok);
        if (!ok || !std::isfinite(v))
            return wrongType(key, PlanError::Expected::Number);
        out = v;
        return true;
    }

    // As the file's reader does, the range is checked before the value is
    // narrowed, so that a huge count cannot wrap into range.
    bool whole(const QString &text, const QString &key, const ValueRange &range, std::optional<qint64> &out)
    {
        std::optional<double> v;
        if (!number(text, key, v))
            return false;
        if (!v)
            return true;
        if (std::floor(*v) != *v)
            return wrongType(key, PlanError::Expected::WholeNumber);
        if (!range.contains(*v)) {
            fail(PlanError::Kind::OutOfRange, key);
            error.minimum = range.minimum;
            error.maximum = range.maximum;
            error.minimumExcluded = range.minimumExcluded;
            return false;
        }
        out = qint64(*v);
        return true;
    }

    bool required(const QString &text, const QString &key, double &out)
    {
        std::optional<double> v;
        if (!number(text, key, v))
            return false;
        if (!v)
            return fail(PlanError::Kind::Missing, key);
        out = *v;
        return true;
    }

    bool quantity(const QString &text, std::optional<Quantity> &out)
    {
        const QString t = text.trimmed();
        if (t == kFirst)
            out = Quantity::FirstPoint;
        else if (t == kMean)
            out = Quantity::FrameMean;
        else if (!t.isEmpty())
            return wrongType(QStringLiteral("quantity"), PlanError::Expected::QuantityName);
        return true;
    }

    // An enabled limit must have a value.
    bool limits(const std::array<std::optional<QString>, kLimitCount> &texts, Limits &out)
    {
        for (int i = 0; i < kLimitCount; ++i) {
            if (!texts[std::size_t(i)])
                continue;
            const QString key = columnKey(ColBiasMm + i);
            if (!number(*texts[std::size_t(i)], key, out.*kLimitMembers[i]))
                return false;
            if (!(out.*kLimitMembers[i]))
                return fail(PlanError::Kind::Missing, key);
        }
        return true;
    }

    bool wrongType(const QString &key, PlanError::Expected expected)
    {
        fail(PlanError::Kind::WrongType, key);
        error.expected = expected;
        return false;
    }

    bool fail(PlanError::Kind kind, const QString &key)
    {
        error = PlanError();
        error.kind = kind;
        error.step = step;
        error.key = key;
        return false;
    }

private:
    PlanError &error;
    int step;
};

QString cell(const QStringList &cells, int column)
{
    return column < cells.size() ? cells.at(column) : QString();
}

bool readStep(const QStringList &cells, int index, PlanStep &step, PlanError &error)
{
    FieldReader read(error, index);
    std::optional<qint64> confidence;
    std::array<std::optional<QString>, kLimitCount> limitTexts;
    for (int i = 0; i < kLimitCount; ++i) {
        if (!cell(cells, ColBiasMm + i).trimmed().isEmpty())
            limitTexts[std::size_t(i)] = cell(cells, ColBiasMm + i);
    }
    if (!read.required(cell(cells, ColReference), columnKey(ColReference), step.referenceMm)
        || !read.whole(cell(cells, ColFrames), columnKey(ColFrames), PlanRanges::kFrames, step.frames)
        || !read.number(cell(cells, ColSettle), columnKey(ColSettle), step.settleS)
        || !read.quantity(cell(cells, ColQuantity), step.quantity)
        || !read.whole(cell(cells, ColMinConfidence), columnKey(ColMinConfidence), PlanRanges::kMinConfidence, confidence)
        || !read.limits(limitTexts, step.limits))
        return false;
    if (confidence)
        step.minConfidence = int(*confidence);
    // Blanks alone are no command; a command is kept exactly as typed.
    const QString command = cell(cells, ColCommand);
    step.command = command.trimmed().isEmpty() ? QString() : command;
    return true;
}

} // namespace

QString columnKey(int column)
{
    return column >= 0 && column < ColumnCount ? QLatin1String(kColumnKeys[column]) : QString();
}

int columnOfKey(const QString &key)
{
    for (int c = 0; c < ColumnCount; ++c)
        if (key == QLatin1String(kColumnKeys[c]))
            return c;
    return -1;
}

bool Texts::operator==(const Texts &o) const
{
    return name == o.name && frames == o.frames && settleS == o.settleS && quantity == o.quantity
        && minConfidence == o.minConfidence && limits == o.limits && commandTimeoutS == o.commandTimeoutS
        && steps == o.steps;
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

Texts textsOf(const TestPlan &plan)
{
    Texts t;
    t.name = plan.name;
    if (plan.frames)
        t.frames = QString::number(*plan.frames);
    t.settleS = numberText(plan.settleS);
    t.quantity = quantityText(plan.quantity);
    t.minConfidence = QString::number(plan.minConfidence);
    for (int i = 0; i < kLimitCount; ++i) {
        if (const auto &v = plan.limits.*kLimitMembers[i])
            t.limits[std::size_t(i)] = numberText(*v);
    }
    t.commandTimeoutS = numberText(plan.commandTimeoutS);
    for (const PlanStep &s : plan.steps) {
        QStringList cells;
        cells << numberText(s.referenceMm) << (s.frames ? QString::number(*s.frames) : QString())
              << (s.settleS ? numberText(*s.settleS) : QString())
              << (s.quantity ? quantityText(*s.quantity) : QString())
              << (s.minConfidence ? QString::number(*s.minConfidence) : QString());
        for (int i = 0; i < kLimitCount; ++i) {
            const auto &v = s.limits.*kLimitMembers[i];
            cells << (v ? numberText(*v) : QString());
        }
        cells << s.command;
        t.steps.push_back(cells);
    }
    return t;
}

std::optional<TestPlan> planOf(const Texts &texts, PlanError *errorOut)
{
    PlanError error;
    TestPlan plan;
    FieldReader read(error, -1);
    std::optional<qint64> confidence;
    std::optional<Quantity> quantity;
    bool ok = read.required(texts.settleS, QStringLiteral("settle_s"), plan.settleS)
        && read.quantity(texts.quantity, quantity)
        && read.whole(texts.minConfidence, QStringLiteral("min_confidence"), PlanRanges::kMinConfidence, confidence)
        && read.limits(texts.limits, plan.limits)
        && read.required(texts.commandTimeoutS, QStringLiteral("command_timeout_s"), plan.commandTimeoutS);
    if (ok && texts.frames) {
        ok = read.whole(*texts.frames, QStringLiteral("frames"), PlanRanges::kFrames, plan.frames);
        if (ok && !plan.frames)
            ok = read.fail(PlanError::Kind::Missing, QStringLiteral("frames"));
    }
    if (ok && !confidence)
        ok = read.fail(PlanError::Kind::Missing, QStringLiteral("min_confidence"));
    if (ok && !quantity)
        ok = read.fail(PlanError::Kind::Missing, QStringLiteral("quantity"));
    for (std::size_t i = 0; ok && i < texts.steps.size(); ++i) {
        PlanStep step;
        ok = readStep(texts.steps[i], int(i), step, error);
        plan.steps.push_back(step);
    }
    if (!ok) {
        if (errorOut)
            *errorOut = error;
        return std::nullopt;
    }
    plan.name = texts.name;
    plan.quantity = *quantity;
    plan.minConfidence = int(*confidence);
    return plan;
}

} // namespace PlanFormTexts
