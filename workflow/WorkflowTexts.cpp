#include "workflow/WorkflowTexts.h"

namespace WorkflowTexts {

namespace {

QString calibrationHead(const CaliParam &p)
{
    return QStringLiteral("ck=%1,xtalk_cal=%2,MP_cal=%3,cg_cal=%4\noffset_cal=%5,reftof=%6,xtalk_peak=%7\nmasum=%8")
        .arg(uint(p.ck))
        .arg(uint(p.xtalk_cal))
        .arg(uint(p.MP_cal))
        .arg(uint(p.cg_cal))
        .arg(p.offset_cal)
        .arg(p.reftof)
        .arg(p.xtalk_peak)
        .arg(p.masum);
}

QStringList calibrationDebugLines(const CaliParam &p)
{
    return {QStringLiteral("ck=%1,xtalk_cal=%2,MP_cal=%3,cg_cal=%4,offset_cal=%5")
                .arg(uint(p.ck))
                .arg(uint(p.xtalk_cal))
                .arg(uint(p.MP_cal))
                .arg(uint(p.cg_cal))
                .arg(p.offset_cal),
            // Signed here, as the %d of this diagnostic line always printed it;
            // the message view shows the same field unsigned.
            QStringLiteral("reftof=%1,xtalk_peak=%2").arg(p.reftof).arg(qint32(p.xtalk_peak))};
}

QStringList deviceInfoDebugLines(const DeviceInfo &info)
{
    QStringList lines{info.toString()};
    for (quint8 byte : info.reserved)
        lines << QString::number(byte, 16);
    lines << QStringLiteral("mcuid:") + mcuIdText(info);
    lines << QStringLiteral("blindare:%1 %2\npitch_angle:%3 %4 %5 %6")
                 .arg(info.blindare[0])
                 .arg(info.blindare[1])
                 .arg(info.pitch_angle[0])
                 .arg(info.pitch_angle[1])
                 .arg(info.pitch_angle[2])
                 .arg(info.pitch_angle[3]);
    return lines;
}

} // namespace

QString measurementText(const LidarDisplayInfo &info, quint16 frameRate)
{
    return QStringLiteral("distance:%1\nconfidence:%2\nstandarddeviation:%3\ndistance_average:%4\n"
                          "frame rate:%5\npeak:%6\nnoise:%7\nreftof:%8")
        .arg(info.distance)
        .arg(uint(info.confidence))
        .arg(double(info.standardDeviation), 0, 'g', 6)
        .arg(double(info.average), 0, 'g', 6)
        .arg(frameRate)
        .arg(info.peak)
        .arg(info.noise)
        .arg(info.reftof);
}

QString caliParamText(const CaliParam &p, quint8 bvd)
{
    return calibrationHead(p)
        + QStringLiteral(",k=%1\npileup_1=%2,pileup_2=%3,pileup_3=%4\nbvd=%5")
              .arg(p.k)
              .arg(p.pileup_1)
              .arg(p.pileup_2)
              .arg(p.pileup_3)
              .arg(uint(bvd));
}

QString caliResultText(const CaliParam &param)
{
    return calibrationHead(param);
}

QString firmwareVersionText(quint32 version)
{
    return QStringLiteral("%1.%2.%3").arg(version >> 24).arg((version >> 16) & 0xFF).arg(version & 0xFFFF);
}

QString mcuIdText(const DeviceInfo &info)
{
    return QString::number(info.mcuId[0], 16) + QString::number(info.mcuId[1], 16)
        + QString::number(info.mcuId[2], 16);
}

QString deviceInfoText(const DeviceInfo &info)
{
    return QStringLiteral("softversion:%1\nhardversion:%2\nmcu id:%3")
        .arg(firmwareVersionText(info.firmware_version))
        .arg(info.hardware_version)
        .arg(mcuIdText(info));
}

QString ackLine(quint8 code, quint8 result)
{
    return QStringLiteral("ack:%1, result:%2").arg(uint(code)).arg(uint(result));
}

QString timingLine(qint32 first, qint32 second)
{
    return QStringLiteral("timing:%1 %2").arg(first).arg(second);
}

QString hexRecordLine(const quint8 *bytes, std::size_t len)
{
    QString line;
    for (std::size_t i = 0; bytes && i < len; ++i)
        line += QString::number(bytes[i], 16);
    return line;
}

std::optional<DeviceAnswer> caliParamAnswer(const quint8 *payload, std::size_t len)
{
    CaliParam param;
    if (!parseCaliParam(payload, len, param))
        return std::nullopt;
    // bvd is the last byte wherever the payload ends.
    const quint8 bvd = payload[len - 1];
    DeviceAnswer answer;
    answer.debugLines << QStringLiteral("size:%1").arg(qulonglong(len));
    answer.debugLines << calibrationDebugLines(param);
    answer.debugLines << QStringLiteral("masum=%1 k=%2 pileup_1=%3 pileup_2=%4 pileup_3=%5")
                             .arg(param.masum)
                             .arg(param.k)
                             .arg(param.pileup_1)
                             .arg(param.pileup_2)
                             .arg(param.pileup_3);
    answer.viewText = caliParamText(param, bvd);
    return answer;
}

std::optional<DeviceAnswer> caliResultAnswer(const quint8 *payload, std::size_t len)
{
    CaliParam param;
    if (!payload || len < 2 || !parseCaliParam(payload + 2, len - 2, param))
        return std::nullopt;
    DeviceAnswer answer;
    answer.debugLines << QStringLiteral("ret:%1").arg(uint(payload[1]));
    answer.debugLines << calibrationDebugLines(param);
    answer.debugLines << QStringLiteral("masum=%1").arg(param.masum);
    answer.viewText = caliResultText(param);
    return answer;
}

std::optional<DeviceAnswer> deviceInfoAnswer(const quint8 *payload, std::size_t len)
{
    DeviceInfo info;
    if (!parseDeviceInfo(payload, len, info))
        return std::nullopt;
    return DeviceAnswer{deviceInfoDebugLines(info), deviceInfoText(info)};
}

} // namespace WorkflowTexts
