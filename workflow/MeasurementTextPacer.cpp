#include "workflow/MeasurementTextPacer.h"

#include "workflow/WorkflowTexts.h"

std::optional<QString> MeasurementTextPacer::offer(const LidarDisplayInfo &info, quint16 frameRate)
{
    latest = info;
    latestRate = frameRate;
    if (!throttle.offer())
        return std::nullopt;
    return text();
}

std::optional<QString> MeasurementTextPacer::takePending()
{
    if (!throttle.takePending())
        return std::nullopt;
    return text();
}

QString MeasurementTextPacer::text() const
{
    return WorkflowTexts::measurementText(latest, latestRate);
}
