#include "app/TestRunSettings.h"

void TestRunSettings::read(const QSettings &settings)
{
    error.clear();
    outputs = RunSession::Outputs::fromSettings(settings, &error);
}
