// Feeds the input to a protocol endpoint in chunks of input-chosen sizes and
// dispatches every packet through the real main window and download dialog,
// with the plot refreshed between chunks.
// The packets must be exactly those a plain rescan of the buffer finds, the
// receive buffer must stay bounded, and the window state must stay in range.
#include "app/MainWindow.h"
#include "download/DownloadDialog.h"
#include "fuzz/FuzzSupport.h"
#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "workflow/MeasurementPipeline.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QSerialPort>

#include <cstdlib>
#include <vector>

struct MainWindowProbe {
    static void reset(MainWindow &w)
    {
        w.measurementPipeline->restartProcessor();
        w.plotPending = false;
    }
    static void listen(MainWindow &w, QTRNet *net)
    {
        QObject::connect(net, &QTRNet::dataReady, &w, &MainWindow::parseLidarData);
    }
    static DownloadDialog *download(MainWindow &w) { return w.downloadDialog; }
    // The refresh tick, as the plot timer would run it between chunks.
    static void tick(MainWindow &w) { w.refreshPlotArea(); }
    static void clearPlot(MainWindow &w) { w.clearCurves(); }
    static const MeasurementProcessor &measurement(const MainWindow &w) { return w.measurementPipeline->processor(); }
};

struct DownloadDialogProbe {
    static void listen(DownloadDialog *d, QTRNet *net)
    {
        QObject::connect(net, &QTRNet::dataReady, d, &DownloadDialog::recievAck);
    }
};

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

MainWindow *window = nullptr;
QSerialPort *port = nullptr;

// Mostly well-formed frames of any code and length, with noise between them,
// so that the dispatch sees payloads its checksum would rarely let through.
QByteArray framedStream(FuzzedDataProvider &in)
{
    QByteArray stream;
    while (in.remaining_bytes() > 0) {
        if (in.ConsumeBool()) {
            const auto noise = in.ConsumeBytes<char>(in.ConsumeIntegralInRange<size_t>(0, 16));
            stream.append(noise.data(), int(noise.size()));
            continue;
        }
        TRData p;
        p.addr = in.ConsumeIntegral<quint8>();
        p.cmd = in.ConsumeBool() ? quint8(0x02) : in.ConsumeIntegral<quint8>();
        p.offset = in.ConsumeIntegral<quint16>();
        p.data = in.ConsumeBytes<quint8>(in.ConsumeIntegral<quint16>());
        stream += encodedFrame(p);
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::guiApp();
    window = new MainWindow;
    port = new QSerialPort;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool framed = in.ConsumeBool();
    const int maxChunk = in.ConsumeIntegralInRange<int>(1, 4096);
    const QByteArray stream = framed
        ? framedStream(in)
        : QByteArray(reinterpret_cast<const char *>(data), int(size));

    MainWindowProbe::reset(*window);
    MainWindowProbe::clearPlot(*window);
    auto *net = new QTRNet(port);
    MainWindowProbe::listen(*window, net);
    DownloadDialogProbe::listen(MainWindowProbe::download(*window), net);
    QList<QByteArray> published;
    QObject::connect(net, &QTRNet::dataReady, [&published](TRData *p) { published.append(encodedFrame(*p)); });

    ReferenceScanner reference;
    // Chunk sizes come from a small generator seeded by the input, so raw
    // streams keep every byte for the frames themselves.
    quint32 seed = quint32(size) * 2654435761u + quint32(maxChunk);
    for (int pos = 0; pos < stream.size();) {
        seed = seed * 1664525u + 1013904223u;
        const int chunk = qMin(stream.size() - pos, 1 + int((seed >> 8) % quint32(maxChunk)));
        const QByteArray piece = stream.mid(pos, chunk);
        pos += chunk;
        net->receiveData(piece);
        reference.receive(piece);
        MainWindowProbe::tick(*window);
        check(net->bufferedBytes() <= QTRNet::kDeadBytesKept + int(TRCodec::kMaxFrame) + chunk);
        const MeasurementProcessor &m = MainWindowProbe::measurement(*window);
        check(m.windowCount == 0 && m.noiseHits >= 0 && m.noiseHits <= 30 && m.peakHits >= 0 && m.peakHits <= 30);
    }
    if (stream.size() <= QTRNet::kDeadBytesKept)
        check(published == reference.published);
    delete net;
    return 0;
}
