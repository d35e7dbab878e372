#include "cli/ResultsChoice.h"

#include "cli/ExitCode.h"
#include "settings/SettingsRules.h"

namespace ResultsChoice {

Choice read(const Invocation &in)
{
    Choice choice;
    QString why;
    if (in.has(QStringLiteral("results"))) {
        choice.location = ResultsLocation::parse(in.value(QStringLiteral("results")), &why);
        if (!choice.location) {
            choice.error = QStringLiteral("--results: %1").arg(why);
            choice.exitCode = ExitCode::kUsage;
        }
        return choice;
    }
    const QString stored = SettingsRules::storedText(SettingsRules::resultsDatabaseKey());
    if (stored.trimmed().isEmpty()) {
        choice.location = ResultsLocation::localDefault();
        return choice;
    }
    choice.location = ResultsLocation::parse(stored, &why);
    if (!choice.location) {
        choice.error = QStringLiteral("%1 in %2: %3").arg(SettingsRules::resultsDatabaseKey(), SettingsRules::fileName(), why);
        choice.exitCode = ExitCode::kFile;
    }
    return choice;
}

} // namespace ResultsChoice
