#include "download/DownloadPayload.h"

#include <QtEndian>

#include <cstring>

namespace DownloadPayload {

bool usableTag(const char *tag)
{
    return tag && std::strlen(tag) < size_t(kTagField);
}

QByteArray tagged(const char *tag, const quint8 *bytes, int len)
{
    QByteArray payload;
    if (usableTag(tag)) {
        payload = QByteArray(kTagField, '\0');
        std::memcpy(payload.data(), tag, std::strlen(tag));
    }
    if (len > 0)
        payload.append(reinterpret_cast<const char *>(bytes), len);
    return payload;
}

QByteArray taggedValue(const char *tag, quint32 value)
{
    quint8 word[4];
    qToLittleEndian<quint32>(value, word);
    return tagged(tag, word, int(sizeof word));
}

quint16 blockOffset(int index, int blockSize)
{
    return quint16(quint32(index) * quint32(blockSize));
}

BlockPlan planBlocks(int length, int blockSize)
{
    BlockPlan plan;
    if (length <= 0 || blockSize <= 0)
        return plan;
    plan.full = length / blockSize;
    plan.rest = length % blockSize;
    return plan;
}

void padToWord(QByteArray &image)
{
    while (image.size() % 4 != 0)
        image.append(char(0xFF));
}

qint32 kindFromPath(const QString &path)
{
    return path.contains(QLatin1String("ifw"), Qt::CaseSensitive) ? kEncryptedImage : kNormalImage;
}

quint32 endValue(quint8 endCode, qint32 kind)
{
    return endCode == kFirmwareEndCode ? quint32(kind) : 1u;
}

} // namespace DownloadPayload
