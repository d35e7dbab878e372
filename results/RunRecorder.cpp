#include "results/RunRecorder.h"

#include "results/ResultsDatabase.h"
#include "results/ResultsWriter.h"
#include "results/RunRows.h"

#include <algorithm>

namespace {
// The record with `step` in it, replacing a result of the same index.
TestRun::RunRecord withStep(const TestRun::RunRecord &run, const TestRun::StepResult &step)
{
    TestRun::RunRecord full = run;
    auto same = std::find_if(full.steps.begin(), full.steps.end(),
                             [&step](const TestRun::StepResult &s) { return s.index == step.index; });
    if (same != full.steps.end())
        *same = step;
    else
        full.steps.push_back(step);
    return full;
}
} // namespace

RunRecorder::RunRecorder(const ResultsLocation &configured, const ResultsLocation &local)
    : configured(configured)
    , local(local)
{
}

RunRecorder::~RunRecorder() = default;

const ResultsLocation &RunRecorder::location() const
{
    return fellBack ? local : configured;
}

bool RunRecorder::start(TestRun::RunRecord &run)
{
    lastError = RunRows::invalidRun(run);
    if (!lastError.isEmpty())
        return false;
    started = fellBack = behind = false;
    fallbackNotice.clear();
    db = std::make_unique<ResultsDatabase>(configured);
    if (db->open(ResultsDatabase::Mode::ReadWrite) && ResultsWriter::insertRun(*db, run, runId)) {
        started = true;
        run.runId = runId;
        return true;
    }
    if (!configured.sameAs(local))
        return fallBack(run, db->error());
    lastError = db->error();
    return false;
}

bool RunRecorder::storeStep(TestRun::RunRecord &run, const TestRun::StepResult &step)
{
    lastError = RunRows::invalidStep(step);
    if (!lastError.isEmpty())
        return false;
    TestRun::RunRecord full = withStep(run, step);
    const bool stored = store(full, [this, &step](ResultsDatabase &db) {
        return ResultsWriter::storeStep(db, runId, step);
    });
    run.runId = full.runId;
    return stored;
}

bool RunRecorder::finish(TestRun::RunRecord &run)
{
    if (!run.finishedUtc.isValid()) {
        lastError = tr("测试尚未结束：没有结束时间");
        return false;
    }
    return store(run, [this, &run](ResultsDatabase &db) { return ResultsWriter::finishRun(db, runId, run); });
}

bool RunRecorder::store(TestRun::RunRecord &run, const std::function<bool(ResultsDatabase &)> &write)
{
    lastError.clear();
    if (!started)
        return copyWhole(run, location());
    if ((!behind || ResultsWriter::storeSteps(*db, runId, run.steps)) && write(*db)) {
        behind = false;
        run.runId = runId;
        return true;
    }
    behind = true;
    if (!fellBack && !configured.sameAs(local))
        return fallBack(run, db->error());
    lastError = db->error();
    return false;
}

bool RunRecorder::fallBack(TestRun::RunRecord &run, const QString &why)
{
    fellBack = true;
    fallbackReason = why;
    fallbackMidRun = started;
    if (!copyWhole(run, local)) {
        lastError = tr("%1；本地文件也无法写入：%2").arg(why, lastError);
        return false;
    }
    return true;
}

bool RunRecorder::copyWhole(TestRun::RunRecord &run, const ResultsLocation &target)
{
    db = std::make_unique<ResultsDatabase>(target);
    started = behind = false;
    if (!db->open(ResultsDatabase::Mode::ReadWrite) || !ResultsWriter::copyRun(*db, run, runId)) {
        lastError = db->error();
        return false;
    }
    started = true;
    run.runId = runId;
    if (fellBack && fallbackNotice.isEmpty()) {
        fallbackNotice = fallbackMidRun
            ? tr("%1；本次测试（连同已完成的步骤）已全部改存本地文件 %2").arg(fallbackReason, local.displayText())
            : tr("%1；本次测试保存在本地文件 %2").arg(fallbackReason, local.displayText());
    }
    return true;
}
