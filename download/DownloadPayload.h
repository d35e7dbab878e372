#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Payloads of the download frames and the arithmetic around them. A tag is a
// short ASCII text carried in a fixed 16-byte field, zero-filled, so that the
// device always finds a terminating zero.
namespace DownloadPayload {

constexpr int kTagField = 16;
// Room for the tag field and one block; a block that does not fit is refused.
constexpr int kStagingSize = 128;
constexpr quint8 kAckCode = 0x10;
constexpr quint8 kFirmwareEndCode = 0x0C;

// Kinds sent in the firmware end command.
constexpr qint32 kNormalImage = 1;
constexpr qint32 kEncryptedImage = 2;

// A tag is used only when given and short enough to leave its zero in the field.
bool usableTag(const char *tag);

// The tag field followed by `len` bytes; just the bytes without a usable tag.
QByteArray tagged(const char *tag, const quint8 *bytes, int len);
// The tag field followed by `value` as 4 little-endian bytes.
QByteArray taggedValue(const char *tag, quint32 value);

// The block's byte offset in the image, kept to the 16 bits of the frame word.
quint16 blockOffset(int index, int blockSize);

// How an image of `length` bytes is cut: `full` blocks, then `rest` bytes.
struct BlockPlan {
    int full = 0;
    int rest = 0;
    int steps() const { return full + (rest > 0 ? 1 : 0); }
};
BlockPlan planBlocks(int length, int blockSize);

// Appends 0xFF until the length is a multiple of 4.
void padToWord(QByteArray &image);

// "ifw" anywhere in the path, case-sensitive, marks an encrypted image.
qint32 kindFromPath(const QString &path);

// The firmware end command carries the image kind, every other end command 1.
quint32 endValue(quint8 endCode, qint32 kind);

} // namespace DownloadPayload
