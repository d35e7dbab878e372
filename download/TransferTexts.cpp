#include "download/TransferTexts.h"

#include "download/DownloadPayload.h"
#include "download/DownloadTransfer.h"
#include "download/ImageFile.h"

namespace {
// The bytes the transfer sends: the file padded to whole words.
qint64 paddedSize(qint64 fileBytes)
{
    return (fileBytes + 3) / 4 * 4;
}

int blocksFor(qint64 fileBytes)
{
    return DownloadPayload::planBlocks(int(paddedSize(fileBytes)), DownloadTransfer::kBlockSize).steps();
}
} // namespace

QString TransferTexts::fileSummary(const QString &path)
{
    qint64 size = 0;
    switch (ImageFile::inspect(path, &size)) {
    case ImageFile::Problem::None:
        return tr("%1 字节, %2 块").arg(paddedSize(size)).arg(blocksFor(size));
    case ImageFile::Problem::TooLarge:
        return tr("文件过大: %1 字节, 上限 %2 字节").arg(size).arg(ImageFile::kMaxBytes);
    default:
        return QString();
    }
}

QString TransferTexts::status(const DownloadTransfer &transfer)
{
    using State = DownloadTransfer::State;
    switch (transfer.state()) {
    case State::Idle:
        return QString();
    case State::Done:
        return tr("下载完成: %1 字节, %2 块, %3 秒")
            .arg(transfer.sentBytes())
            .arg(transfer.blocks())
            .arg(QString::number(double(transfer.elapsedMs()) / 1000.0, 'f', 1));
    case State::Failed:
        return failure(transfer);
    case State::Cancelled:
        return tr("已取消: 已发送 %1 / %2 块, 之后不再发送; 设备停留在下载模式, 直到重启或开始新的下载")
            .arg(transfer.blocksDone())
            .arg(transfer.blocks());
    default:
        return running(transfer);
    }
}

QString TransferTexts::running(const DownloadTransfer &transfer)
{
    using State = DownloadTransfer::State;
    switch (transfer.state()) {
    case State::Opening:
        return tr("正在打开串口");
    case State::Starting:
        if (transfer.cancelRequested())
            return tr("正在取消: 等待设备应答开始命令");
        return tr("等待设备应答开始命令 (%1 字节, %2 块)").arg(transfer.sentBytes()).arg(transfer.blocks());
    case State::Sending:
        if (transfer.cancelRequested())
            return tr("正在取消: 等待第 %1 / %2 块的应答").arg(transfer.blockIndex() + 1).arg(transfer.blocks());
        return tr("正在发送第 %1 / %2 块").arg(transfer.blockIndex() + 1).arg(transfer.blocks());
    default:
        return tr("等待设备应答结束命令");
    }
}

// Blocks are counted from 1 here, as a user counts them.
QString TransferTexts::failure(const DownloadTransfer &transfer)
{
    using Reason = DownloadTransfer::Reason;
    const int block = transfer.blockIndex() + 1;
    const int blocks = transfer.blocks();
    switch (transfer.reason()) {
    case Reason::FileUnreadable:
        if (transfer.path().isEmpty())
            return tr("下载失败: 没有选择文件");
        return tr("下载失败: 无法读取文件 %1").arg(transfer.path());
    case Reason::FileTooLarge:
        // One arg() call: a path may hold "%2" itself.
        return tr("下载失败: 文件 %1 过大 (%2 字节, 上限 %3 字节)")
            .arg(transfer.path(), QString::number(transfer.fileBytes()), QString::number(ImageFile::kMaxBytes));
    case Reason::PortNotOpen:
        return tr("下载失败: 串口未打开, 也无法打开");
    case Reason::SendRefused:
        return tr("下载失败: 串口正忙, 拒绝发送");
    case Reason::PortClosed:
        return tr("下载失败: 传输中串口被关闭");
    case Reason::StartUnanswered:
        return tr("下载失败: 设备在 %1 毫秒内没有应答开始命令")
            .arg(DownloadTransfer::kStartPauseMs + DownloadTransfer::kStartAckMs);
    case Reason::StartRefused:
        return tr("下载失败: 设备拒绝了开始命令");
    case Reason::BlockUnanswered:
        return tr("下载失败: 设备在 %3 毫秒内没有应答第 %1 / %2 块")
            .arg(block)
            .arg(blocks)
            .arg(DownloadTransfer::kStepAckMs);
    case Reason::BlockRefused:
        return tr("下载失败: 设备拒绝了第 %1 / %2 块").arg(block).arg(blocks);
    case Reason::EndUnanswered:
        return tr("下载失败: 设备在 %1 毫秒内没有应答结束命令").arg(DownloadTransfer::kStepAckMs);
    case Reason::EndRefused:
        return tr("下载失败: 设备拒绝了结束命令");
    default:
        return QString();
    }
}
