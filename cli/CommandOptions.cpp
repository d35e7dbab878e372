#include "cli/CommandOptions.h"

#include "link/PortList.h"

#include <cmath>

namespace CommandOptions {

namespace {
// Beyond this a run of --seconds is surely a typo, and the timer could not hold it.
constexpr double kMaxSeconds = 365.0 * 24 * 3600;
} // namespace

bool readPort(const Invocation &in, Port &out, QString &error)
{
    if (!readRequired(in, QStringLiteral("port"), out.name, error))
        return false;
    if (!in.has(QStringLiteral("baud")))
        return true;
    bool isNumber = false;
    const QString text = in.value(QStringLiteral("baud"));
    const qint32 rate = text.toInt(&isNumber);
    if (!isNumber || !PortList::offeredBaudRates().contains(rate)) {
        error = QStringLiteral("--baud %1 is not a baud rate the sensor speaks (230400, 115200, 460800, 921600)")
                    .arg(text);
        return false;
    }
    out.baudRate = rate;
    return true;
}

bool readAmount(const Invocation &in, Amount &out, QString &error)
{
    QString which;
    QString value;
    if (!readOneOf(in, QStringLiteral("frames"), QStringLiteral("seconds"), which, value, error))
        return false;
    if (which == QLatin1String("frames"))
        return readPositive(in, which, out.frames, error);
    bool isNumber = false;
    const double seconds = value.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxSeconds) {
        error = QStringLiteral("--seconds needs a number of seconds above 0, not '%1'").arg(value);
        return false;
    }
    out.seconds = seconds;
    return true;
}

bool readChoice(const Invocation &in, const QString &option, const QStringList &choices, QString &out,
                QString &error)
{
    if (!in.has(option)) {
        out = choices.first();
        return true;
    }
    const QString value = in.value(option);
    if (!choices.contains(value)) {
        error = QStringLiteral("--%1 is %2, not '%3'").arg(option, choices.join(QLatin1String(" or ")), value);
        return false;
    }
    out = value;
    return true;
}

bool readPositive(const Invocation &in, const QString &option, qint64 &out, QString &error)
{
    if (!in.has(option))
        return true;
    bool isNumber = false;
    const qint64 value = in.value(option).toLongLong(&isNumber);
    if (!isNumber || value < 1) {
        error = QStringLiteral("--%1 needs a whole number from 1 up, not '%2'").arg(option, in.value(option));
        return false;
    }
    out = value;
    return true;
}

bool readOneOf(const Invocation &in, const QString &first, const QString &second, QString &which, QString &value,
               QString &error)
{
    const bool hasFirst = in.has(first);
    if (hasFirst == in.has(second)) {
        error = hasFirst ? QStringLiteral("--%1 and --%2 exclude each other").arg(first, second)
                         : QStringLiteral("--%1 or --%2 is needed").arg(first, second);
        return false;
    }
    which = hasFirst ? first : second;
    value = in.value(which);
    return true;
}

bool readRequired(const Invocation &in, const QString &option, QString &value, QString &error)
{
    if (!in.has(option)) {
        error = QStringLiteral("--%1 is needed").arg(option);
        return false;
    }
    value = in.value(option);
    return true;
}

} // namespace CommandOptions
