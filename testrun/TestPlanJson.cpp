#include "testrun/TestPlanJson.h"

#include "testrun/JsonKeyScan.h"
#include "testrun/TestPlanTexts.h"
#include "io/RegularFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace TestRun {

namespace {

const QStringList kPlanKeys = {QStringLiteral("name"), QStringLiteral("frames"), QStringLiteral("settle_s"),
                               QStringLiteral("quantity"), QStringLiteral("min_confidence"),
                               QStringLiteral("limits"), QStringLiteral("command_timeout_s"),
                               QStringLiteral("steps")};
const QStringList kStepKeys = {QStringLiteral("reference_mm"), QStringLiteral("frames"),
                               QStringLiteral("settle_s"), QStringLiteral("quantity"),
                               QStringLiteral("min_confidence"), QStringLiteral("limits"),
                               QStringLiteral("command")};
const QString kLimitsKey = QStringLiteral("limits");
const QString kFirst = QStringLiteral("first");
const QString kMean = QStringLiteral("mean");

// Reads the JSON objects into a plan, checking keys and types; the values'
// ranges are left to validatePlan. Stops at the first fault.
class PlanReader {
public:
    explicit PlanReader(PlanError &error)
        : error(error)
    {
    }

    bool readPlan(const QJsonObject &o, TestPlan &plan)
    {
        step = -1;
        if (!knownKeys(o, kPlanKeys, QString()))
            return false;
        std::optional<QString> name;
        std::optional<double> settle, timeout;
        std::optional<qint64> confidence;
        std::optional<Quantity> quantity;
        if (!text(o, QStringLiteral("name"), name) || !whole(o, QStringLiteral("frames"), PlanRanges::kFrames, plan.frames)
            || !number(o, QStringLiteral("settle_s"), settle) || !readQuantity(o, quantity)
            || !whole(o, QStringLiteral("min_confidence"), PlanRanges::kMinConfidence, confidence)
            || !number(o, QStringLiteral("command_timeout_s"), timeout) || !readLimits(o, plan.limits))
            return false;
        plan.name = name.value_or(QString());
        plan.settleS = settle.value_or(0);
        plan.quantity = quantity.value_or(Quantity::FirstPoint);
        plan.minConfidence = int(confidence.value_or(0));
        plan.commandTimeoutS = timeout.value_or(TestPlan::kDefaultCommandTimeoutS);
        return readSteps(o, plan);
    }

private:
    bool readSteps(const QJsonObject &o, TestPlan &plan)
    {
        const QJsonValue steps = o.value(QStringLiteral("steps"));
        if (steps.isUndefined())
            return fail(PlanError::Kind::Missing, QStringLiteral("steps"));
        if (!steps.isArray())
            return wrongType(QStringLiteral("steps"), PlanError::Expected::List);
        const QJsonArray list = steps.toArray();
        plan.steps.resize(std::size_t(list.size()));
        for (int i = 0; i < list.size(); ++i) {
            step = i;
            if (!list.at(i).isObject())
                return wrongType(QString(), PlanError::Expected::Object);
            if (!readStep(list.at(i).toObject(), plan.steps[std::size_t(i)]))
                return false;
        }
        return true;
    }

    bool readStep(const QJsonObject &o, PlanStep &s)
    {
        std::optional<double> reference;
        std::optional<qint64> confidence;
        std::optional<QString> command;
        if (!knownKeys(o, kStepKeys, QString()) || !number(o, QStringLiteral("reference_mm"), reference)
            || !whole(o, QStringLiteral("frames"), PlanRanges::kFrames, s.frames) || !number(o, QStringLiteral("settle_s"), s.settleS)
            || !readQuantity(o, s.quantity) || !whole(o, QStringLiteral("min_confidence"), PlanRanges::kMinConfidence, confidence)
            || !readLimits(o, s.limits) || !text(o, QStringLiteral("command"), command))
            return false;
        if (!reference)
            return fail(PlanError::Kind::Missing, QStringLiteral("reference_mm"));
        s.referenceMm = *reference;
        if (confidence)
            s.minConfidence = int(*confidence);
        s.command = command.value_or(QString());
        return true;
    }

    bool readLimits(const QJsonObject &parent, Limits &out)
    {
        const QJsonValue v = parent.value(kLimitsKey);
        if (v.isUndefined())
            return true;
        if (!v.isObject())
            return wrongType(kLimitsKey, PlanError::Expected::Object);
        const QJsonObject o = v.toObject();
        const std::pair<std::optional<double> &, const char *> all[] = {
            {out.biasMm, "bias_mm"},
            {out.biasPercent, "bias_percent"},
            {out.stdMm, "std_mm"},
            {out.blankedPercent, "blanked_percent"},
            {out.minRateHz, "min_rate_hz"},
        };
        QStringList known;
        for (const auto &limit : all)
            known << QLatin1String(limit.second);
        if (!knownKeys(o, known, kLimitsKey + QLatin1Char('.')))
            return false;
        for (const auto &limit : all)
            if (!number(o, QLatin1String(limit.second), limit.first, kLimitsKey + QLatin1Char('.')))
                return false;
        return true;
    }

    bool knownKeys(const QJsonObject &o, const QStringList &known, const QString &prefix)
    {
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!known.contains(it.key()))
                return fail(PlanError::Kind::UnknownKey, prefix + it.key());
        return true;
    }

    bool number(const QJsonObject &o, const QString &key, std::optional<double> &out,
                const QString &prefix = QString())
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        if (!v.isDouble())
            return wrongType(prefix + key, PlanError::Expected::Number);
        out = v.toDouble();
        return true;
    }

    // Checks the range here too: a value outside it could wrap into it when
    // narrowed to an integer.
    bool whole(const QJsonObject &o, const QString &key, const ValueRange &range, std::optional<qint64> &out)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        const double d = v.toDouble();
        if (!v.isDouble() || std::floor(d) != d)
            return wrongType(key, PlanError::Expected::WholeNumber);
        if (!range.contains(d)) {
            fail(PlanError::Kind::OutOfRange, key);
            error.minimum = range.minimum;
            error.maximum = range.maximum;
            error.minimumExcluded = range.minimumExcluded;
            return false;
        }
        out = qint64(d);
        return true;
    }

    bool text(const QJsonObject &o, const QString &key, std::optional<QString> &out)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        if (!v.isString())
            return wrongType(key, PlanError::Expected::Text);
        out = v.toString();
        return true;
    }

    bool readQuantity(const QJsonObject &o, std::optional<Quantity> &out)
    {
        const QJsonValue v = o.value(QStringLiteral("quantity"));
        if (v.isUndefined())
            return true;
        if (v.toString() == kFirst)
            out = Quantity::FirstPoint;
        else if (v.toString() == kMean)
            out = Quantity::FrameMean;
        else
            return wrongType(QStringLiteral("quantity"), PlanError::Expected::QuantityName);
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

    PlanError &error;
    int step = -1;
};

PlanError duplicateKeyError(const JsonPath &path)
{
    PlanError e;
    e.kind = PlanError::Kind::DuplicateKey;
    std::size_t from = 0;
    if (path.size() >= 3 && std::get_if<QString>(&path[0]) && *std::get_if<QString>(&path[0]) == QLatin1String("steps")
        && std::get_if<int>(&path[1])) {
        e.step = *std::get_if<int>(&path[1]);
        from = 2;
    }
    QStringList keys;
    for (std::size_t i = from; i < path.size(); ++i) {
        if (const QString *key = std::get_if<QString>(&path[i]))
            keys << *key;
        else
            keys << QString::number(*std::get_if<int>(&path[i]));
    }
    e.key = keys.join(QLatin1Char('.'));
    return e;
}

QByteArray withoutByteOrderMark(const QByteArray &json)
{
    return json.startsWith("\xEF\xBB\xBF") ? json.mid(3) : json;
}

} // namespace

std::optional<TestPlan> parsePlan(const QByteArray &bytes, PlanError *errorOut)
{
    PlanError error;
    const QByteArray json = withoutByteOrderMark(bytes);
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    TestPlan plan;
    bool ok = false;
    if (doc.isNull() || !doc.isObject()) {
        error.kind = doc.isNull() ? PlanError::Kind::NotJson : PlanError::Kind::WrongType;
        error.expected = PlanError::Expected::Object;
        error.detail = parseError.errorString();
        error.offset = parseError.offset;
    } else if (const auto duplicate = firstDuplicateKey(json)) {
        error = duplicateKeyError(*duplicate);
    } else if (PlanReader(error).readPlan(doc.object(), plan)) {
        const auto invalid = validatePlan(plan);
        ok = !invalid;
        if (invalid)
            error = *invalid;
    }
    if (!ok && errorOut)
        *errorOut = error;
    return ok ? std::optional<TestPlan>(plan) : std::nullopt;
}

namespace {

// One JSON value as text, in Qt's shortest exact form for numbers.
QByteArray scalar(const QJsonValue &v)
{
    const QByteArray array = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray member(const char *key, const QJsonValue &v)
{
    return '"' + QByteArray(key) + "\": " + scalar(v);
}

QByteArray limitsObject(const Limits &l)
{
    QList<QByteArray> parts;
    const std::pair<const std::optional<double> &, const char *> all[] = {
        {l.biasMm, "bias_mm"},       {l.biasPercent, "bias_percent"},   {l.stdMm, "std_mm"},
        {l.blankedPercent, "blanked_percent"}, {l.minRateHz, "min_rate_hz"},
    };
    for (const auto &limit : all)
        if (limit.first)
            parts << member(limit.second, *limit.first);
    return parts.isEmpty() ? QByteArray("{}") : "{ " + parts.join(", ") + " }";
}

QJsonValue quantityName(Quantity q)
{
    return q == Quantity::FirstPoint ? kFirst : kMean;
}

QByteArray stepObject(const PlanStep &s)
{
    QList<QByteArray> parts;
    parts << member("reference_mm", s.referenceMm);
    if (s.frames)
        parts << member("frames", double(*s.frames));
    if (s.settleS)
        parts << member("settle_s", *s.settleS);
    if (s.quantity)
        parts << member("quantity", quantityName(*s.quantity));
    if (s.minConfidence)
        parts << member("min_confidence", *s.minConfidence);
    if (s.limits.biasMm || s.limits.biasPercent || s.limits.stdMm || s.limits.blankedPercent || s.limits.minRateHz)
        parts << "\"limits\": " + limitsObject(s.limits);
    if (!s.command.isEmpty())
        parts << member("command", s.command);
    return "{ " + parts.join(", ") + " }";
}

} // namespace

QByteArray planToJson(const TestPlan &plan)
{
    QList<QByteArray> lines;
    lines << member("name", plan.name);
    if (plan.frames)
        lines << member("frames", double(*plan.frames));
    lines << member("settle_s", plan.settleS) << member("quantity", quantityName(plan.quantity))
          << member("min_confidence", plan.minConfidence) << member("command_timeout_s", plan.commandTimeoutS)
          << "\"limits\": " + limitsObject(plan.limits);
    QList<QByteArray> steps;
    for (const PlanStep &s : plan.steps)
        steps << stepObject(s);
    lines << (steps.isEmpty() ? QByteArray("\"steps\": []") : "\"steps\": [\n    " + steps.join(",\n    ") + "\n  ]");
    return "{\n  " + lines.join(",\n  ") + "\n}\n";
}

std::optional<TestPlan> readPlanFile(const QString &path, QString *why, QByteArray *json)
{
    // A FIFO or a device would hold the caller until it ends, if ever; no
    // plan comes near the size cap, so a larger file is not a plan.
    constexpr qint64 kMaxPlanBytes = 16 * 1024 * 1024;
    QFile file(path);
    QString reason;
    switch (RegularFile::open(file, path, QIODevice::ReadOnly, &reason)) {
    case RegularFile::Opened::Yes:
        break;
    case RegularFile::Opened::NotRegular:
        reason = TestPlanTexts::notRegularFile();
        Q_FALLTHROUGH();
    case RegularFile::Opened::Failed:
        if (why)
            *why = TestPlanTexts::fileUnreadable(path, reason);
        return std::nullopt;
    }
    if (file.size() > kMaxPlanBytes) {
        if (why)
            *why = TestPlanTexts::fileUnreadable(path, TestPlanTexts::fileTooLarge(file.size(), kMaxPlanBytes));
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxPlanBytes);
    PlanError error;
    auto plan = parsePlan(bytes, &error);
    if (!plan && why)
        *why = TestPlanTexts::errorText(error);
    if (plan && json)
        *json = bytes;
    return plan;
}

bool writePlanFile(const QString &path, const TestPlan &plan, QString *why)
{
    QSaveFile file(path);
    const QByteArray json = planToJson(plan);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit();
    if (!ok && why)
        *why = TestPlanTexts::fileUnwritable(path, file.errorString());
    return ok;
}

} // namespace TestRun
