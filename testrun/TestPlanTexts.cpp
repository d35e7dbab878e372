#include "testrun/TestPlanTexts.h"

#include <limits>

using TestRun::PlanError;

namespace {

QString numberText(double v)
{
    return QString::number(v, 'g', 12);
}

} // namespace

QString TestPlanTexts::where(int step)
{
    return step < 0 ? tr("测试计划") : tr("第 %1 步").arg(step + 1);
}

QString TestPlanTexts::expectedText(PlanError::Expected expected)
{
    switch (expected) {
    case PlanError::Expected::Number: return tr("数字");
    case PlanError::Expected::WholeNumber: return tr("整数");
    case PlanError::Expected::Text: return tr("文本");
    case PlanError::Expected::Object: return tr("对象");
    case PlanError::Expected::List: return tr("列表");
    case PlanError::Expected::QuantityName: return tr("“first”或“mean”");
    }
    return QString();
}

QString TestPlanTexts::rangeText(const PlanError &e)
{
    const QString at = where(e.step);
    if (e.maximum >= std::numeric_limits<double>::max()) {
        if (e.minimumExcluded)
            return tr("%1：“%2”须大于 %3").arg(at, e.key, numberText(e.minimum));
        if (e.minimum == 0)
            return tr("%1：“%2”不得为负数").arg(at, e.key);
        return tr("%1：“%2”不得小于 %3").arg(at, e.key, numberText(e.minimum));
    }
    if (e.minimumExcluded)
        return tr("%1：“%2”须大于 %3 且不大于 %4").arg(at, e.key, numberText(e.minimum), numberText(e.maximum));
    return tr("%1：“%2”须在 %3 到 %4 之间").arg(at, e.key, numberText(e.minimum), numberText(e.maximum));
}

QString TestPlanTexts::errorText(const PlanError &e)
{
    const QString at = where(e.step);
    switch (e.kind) {
    case PlanError::Kind::NotJson:
        return tr("测试计划不是有效的 JSON：%1（第 %2 个字节）").arg(e.detail).arg(e.offset);
    case PlanError::Kind::UnknownKey:
        return tr("%1：未知的键“%2”（请检查拼写）").arg(at, e.key);
    case PlanError::Kind::DuplicateKey:
        return tr("%1：键“%2”出现了两次").arg(at, e.key);
    case PlanError::Kind::WrongType:
        if (e.key.isEmpty())
            return tr("%1：应为%2").arg(at, expectedText(e.expected));
        return tr("%1：“%2”应为%3").arg(at, e.key, expectedText(e.expected));
    case PlanError::Kind::Missing:
        return tr("%1：缺少“%2”").arg(at, e.key);
    case PlanError::Kind::OutOfRange:
        return rangeText(e);
    case PlanError::Kind::NoSteps:
        return tr("%1：没有步骤（“steps”为空）").arg(at);
    case PlanError::Kind::NoLimits:
        return tr("%1：未设任何限值（“%2”），此步无法判定").arg(at, e.key);
    case PlanError::Kind::TooFewFramesForStd:
        return tr("%1：“%2”需要此步至少 2 帧").arg(at, e.key);
    }
    return QString();
}

QString TestPlanTexts::fileUnreadable(const QString &path, const QString &reason)
{
    return tr("无法读取测试计划 %1：%2").arg(path, reason);
}

QString TestPlanTexts::notRegularFile()
{
    return tr("不是普通文件");
}

QString TestPlanTexts::fileTooLarge(qint64 size, qint64 limit)
{
    return tr("文件过大 (%1 字节, 上限 %2 字节)").arg(size).arg(limit);
}

QString TestPlanTexts::fileUnwritable(const QString &path, const QString &reason)
{
    return tr("无法保存测试计划 %1：%2").arg(path, reason);
}
