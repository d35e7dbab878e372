#include "cli/ResultsCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/JsonText.h"
#include "results/ResultsCodes.h"
#include "results/ResultsReader.h"

namespace {

void writeTime(JsonText &json, const QDateTime &time)
{
    time.isValid() ? json.value(ResultsCodes::timeText(time)) : json.null();
}

void writeStep(JsonText &json, const TestRun::StepResult &s)
{
    json.beginObject();
    json.key("reference_mm").value(s.referenceMm);
    json.key("frames").value(s.framesKept);
    json.key("mean_mm").value(s.meanMm);
    json.key("bias_mm").value(s.biasMm);
    json.key("std_mm").value(s.stdMm);
    json.key("min_mm").value(s.minMm);
    json.key("max_mm").value(s.maxMm);
    json.key("median_mm").value(s.medianMm);
    json.key("blanked_percent").value(s.blankedPercent);
    json.key("rate_hz").value(s.rateHz);
    json.key("verdict").value(ResultsCodes::verdictCode(s.verdict));
    json.key("checks").beginObject();
    json.key("bias").value(ResultsCodes::outcomeCode(s.bias.outcome));
    json.key("std").value(ResultsCodes::outcomeCode(s.std.outcome));
    json.key("blanked").value(ResultsCodes::outcomeCode(s.blanked.outcome));
    json.key("rate").value(ResultsCodes::outcomeCode(s.rate.outcome));
    json.endObject();
    json.endObject();
}

} // namespace

ResultsCommand::ResultsCommand(const ResultsLocation &location, const QString &unitId, int last, bool json,
                               QObject *parent)
    : CliCommand(parent)
    , location(location)
    , unitId(unitId)
    , last(last)
    , json(json)
{
}

void ResultsCommand::start()
{
    RunFilter filter;
    filter.unitId = unitId;
    filter.last = last;
    filter.withSteps = json;
    std::vector<TestRun::RunRecord> runs;
    ResultsReader reader(location);
    if (!reader.runs(filter, runs)) {
        Console::message(QStringLiteral("cannot read the results in %1: %2").arg(location.displayText(), reader.error()));
        return finish(ExitCode::kFile);
    }
    if (!json && runs.empty())
        Console::message(QStringLiteral("No runs stored in %1.").arg(location.displayText()));
    const bool written = Console::data(json ? jsonText(runs) : tableText(runs));
    finish(written ? ExitCode::kSuccess : ExitCode::kFile);
}

std::string ResultsCommand::jsonText(const std::vector<TestRun::RunRecord> &runs)
{
    JsonText json;
    json.beginArray();
    for (const TestRun::RunRecord &run : runs) {
        json.beginObject();
        json.key("run_id").value(run.runId);
        json.key("unit_id").value(run.unit.unitId);
        json.key("firmware").value(run.unit.firmware);
        json.key("hardware").value(run.unit.hardware);
        json.key("plan").value(run.planName);
        json.key("started");
        writeTime(json, run.startedUtc);
        json.key("finished");
        writeTime(json, run.finishedUtc);
        json.key("verdict").value(ResultsCodes::verdictCode(run.verdict));
        json.key("steps").beginArray();
        for (const TestRun::StepResult &step : run.steps)
            writeStep(json, step);
        json.endArray();
        json.endObject();
    }
    json.endArray();
    return json.text() + '\n';
}

// One line a run: id, start (UTC), unit, verdict, plan; the plan last, as
// its name may hold blanks.
std::string ResultsCommand::tableText(const std::vector<TestRun::RunRecord> &runs)
{
    if (runs.empty())
        return std::string();
    int idWidth = 3;
    for (const TestRun::RunRecord &run : runs)
        idWidth = qMax(idWidth, int(QString::number(run.runId).size()));
    const auto row = [idWidth](const QString &id, const QString &started, const QString &unit, const QString &verdict,
                               const QString &plan) {
        return QStringLiteral("%1  %2  %3  %4  %5")
                   .arg(id, idWidth)
                   .arg(started, -20)
                   .arg(unit, -24)
                   .arg(verdict, -10)
                   .arg(plan)
                   .trimmed()
            + QLatin1Char('\n');
    };
    QString text = row(QStringLiteral("RUN"), QStringLiteral("STARTED (UTC)"), QStringLiteral("UNIT"),
                       QStringLiteral("VERDICT"), QStringLiteral("PLAN"));
    for (const TestRun::RunRecord &run : runs)
        text += row(QString::number(run.runId), run.startedUtc.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                    run.unit.unitId, ResultsCodes::verdictCode(run.verdict), run.planName);
    return text.toStdString();
}
