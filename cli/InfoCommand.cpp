#include "cli/InfoCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/JsonText.h"
#include "cli/SensorLink.h"
#include "workflow/UnitIdentifier.h"

#include <vector>

namespace {

struct Field {
    const char *key;
    qint64 value;
};

// In the order the interface lists them; bvd is the answer's last byte.
std::vector<Field> calibrationFields(const UnitIdentity &unit)
{
    const CaliParam &c = unit.calibration;
    return {{"ck", c.ck},
            {"xtalk_cal", c.xtalk_cal},
            {"MP_cal", c.MP_cal},
            {"cg_cal", c.cg_cal},
            {"offset_cal", c.offset_cal},
            {"reftof", c.reftof},
            {"xtalk_peak", qint64(c.xtalk_peak)},
            {"masum", c.masum},
            {"k", c.k},
            {"pileup_1", c.pileup_1},
            {"pileup_2", c.pileup_2},
            {"pileup_3", c.pileup_3},
            {"bvd", unit.bvd}};
}

} // namespace

InfoCommand::InfoCommand(const CommandOptions::Port &port, bool json, QObject *parent)
    : CliCommand(parent)
    , link(new SensorLink(port.name, port.baudRate, this))
    , identifier(new UnitIdentifier(link->net(), this))
    , json(json)
{
    connect(identifier, &UnitIdentifier::identified, this, [this](const UnitIdentity &unit) {
        finish(Console::data(text(unit, this->json)) ? ExitCode::kSuccess : ExitCode::kFile);
    });
    connect(identifier, &UnitIdentifier::failed, this, [this](const QString &why) {
        Console::message(QStringLiteral("The device did not answer: %1").arg(why));
        finish(ExitCode::kDevice);
    });
}

void InfoCommand::start()
{
    if (!link->open()) {
        Console::message(link->openFailure());
        return finish(ExitCode::kPort);
    }
    identifier->start(UnitIdentifier::Lease::TakeOwn);
}

std::string InfoCommand::text(const UnitIdentity &unit, bool json)
{
    const std::vector<Field> calibration = calibrationFields(unit);
    if (json) {
        JsonText out;
        out.beginObject();
        out.key("unit_id").value(unit.unitId);
        out.key("firmware").value(unit.firmware);
        out.key("hardware").value(unit.hardware);
        out.key("calibration").beginObject();
        for (const Field &f : calibration)
            out.key(f.key).value(f.value);
        out.endObject();
        out.endObject();
        return out.text() + '\n';
    }
    QString out = QStringLiteral("unit_id: %1\nfirmware: %2\nhardware: %3\n")
                      .arg(unit.unitId, unit.firmware)
                      .arg(unit.hardware);
    for (const Field &f : calibration)
        out += QStringLiteral("%1: %2\n").arg(QLatin1String(f.key)).arg(f.value);
    return out.toStdString();
}
