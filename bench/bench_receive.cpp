#include "bench/BenchFrames.h"
#include "link/QTRNet.h"

#include <QSerialPort>

#include <benchmark/benchmark.h>

// Receive path: bytes in through QTRNet::receiveData, packets out through
// dataReady, in chunks the size a serial port typically hands over.
namespace {

constexpr int kChunk = 4096;

void feed(QTRNet &net, const QByteArray &bytes)
{
    for (int at = 0; at < bytes.size(); at += kChunk)
        net.receiveData(QByteArray::fromRawData(bytes.constData() + at, qMin(kChunk, bytes.size() - at)));
}

// Feeds the bytes once an iteration to one endpoint: the rate as a multiple
// of the link's, the packets found a pass and the bytes left buffered.
void measureFeed(benchmark::State &state, const QByteArray &bytes)
{
    QSerialPort port;
    auto *net = new QTRNet(&port);
    qint64 packets = 0;
    QObject::connect(net, &QTRNet::dataReady, [&packets](TRData *) { ++packets; });
    for (auto _ : state)
        feed(*net, bytes);
    const double total = double(bytes.size()) * double(state.iterations());
    state.counters["link_x"] = benchmark::Counter(total / BenchFrames::kLinkBytesPerSecond,
                                                  benchmark::Counter::kIsRate);
    state.counters["packets"] = double(packets) / double(state.iterations());
    state.counters["buffered"] = net->bufferedBytes();
    state.SetBytesProcessed(int64_t(total));
}

// Args: points per frame, garbage (0/1).
void decodeThroughput(benchmark::State &state)
{
    const int points = int(state.range(0));
    const bool garbage = state.range(1) != 0;
    const QByteArray bytes = BenchFrames::stream(points, points == 1 ? 20000 : 200, garbage);
    measureFeed(state, bytes);
}

// Noise that looks like frames: a line held at 0xAA (every position a header
// claiming 43,701 bytes), or random bytes with a header every 64 bytes
// (random lengths, so most claims complete and fail their checksum).
// Args: 0 for the 0xAA line, 1 for the headers in random bytes.
void hostileThroughput(benchmark::State &state)
{
    constexpr int kBytes = 1 << 20;
    QByteArray bytes(kBytes, char(0xAA));
    if (state.range(0) == 1) {
        std::mt19937 rng(12);
        bytes = BenchFrames::noise(kBytes, rng);
        for (int at = 0; at + 4 <= kBytes; at += 64)
            bytes.replace(at, 4, QByteArray(4, char(0xAA)));
    }
    measureFeed(state, bytes);
}

// Cost per byte of noise fed when `pile` bytes of noise already wait in the
// buffer (up to and past the bound of dead bytes kept).
void garbagePile(benchmark::State &state)
{
    const int pile = int(state.range(0));
    std::mt19937 rng(11);
    const QByteArray before = BenchFrames::noise(qMax(pile, 1), rng);
    const QByteArray chunk = BenchFrames::noise(kChunk, rng);
    QSerialPort port;
    auto *net = new QTRNet(&port);
    if (pile > 0)
        feed(*net, before);
    int held = net->bufferedBytes();
    for (auto _ : state) {
        net->receiveData(chunk);
        held = net->bufferedBytes();
    }
    state.counters["ns_per_byte"] = benchmark::Counter(double(kChunk) * double(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["buffered"] = held;
}

} // namespace

BENCHMARK(decodeThroughput)->ArgNames({"points", "garbage"})
    ->Args({1, 0})->Args({1, 1})->Args({300, 0})->Args({300, 1});
BENCHMARK(hostileThroughput)->ArgName("stream")->Arg(0)->Arg(1);
BENCHMARK(garbagePile)->ArgName("pile")
    ->Arg(0)->Arg(QTRNet::kDeadBytesKept / 4)->Arg(QTRNet::kDeadBytesKept)->Arg(16 * QTRNet::kDeadBytesKept);

BENCHMARK_MAIN();
