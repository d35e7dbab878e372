#include "bench/BenchFrames.h"
#include "tests/support/PtyPair.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <unistd.h>
#include <vector>

// lidar-cli stream into a file at the link's limit: one-point frames, 3,072 a
// second (92,160 B/s), played on a pseudo-terminal by this process, paced by
// the clock. Every frame must be written (the device timestamps run without
// a gap), the program's CPU while it streams stays under 0.1 core, and its
// first line is written under 100 ms from its start (the device answers Start
// at once).
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFramesPerSecond = 3072;
constexpr quint32 kTimestampStepUs = 325; // the device's clock between frames, near 1e6 / 3072

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// User and system CPU seconds of a running process, from /proc.
double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

int e2eSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("LIDAR_E2E_SECONDS");
    return seconds > 0 ? seconds : 10;
}

// Whole lines of the file after the header, and whether the device
// timestamps ran without a gap.
struct Written {
    qint64 frames = 0;
    qint64 gaps = 0;
};

Written readBack(const QString &path)
{
    Written w;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return w;
    file.readLine(); // header
    qint64 last = -1;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break;
        const qint64 timestamp = line.split(',').value(2).toLongLong();
        if (last >= 0 && timestamp - last != kTimestampStepUs)
            ++w.gaps;
        last = timestamp;
        ++w.frames;
    }
    return w;
}

void streamAtLinkLimit(benchmark::State &state)
{
    const qint64 total = qint64(kFramesPerSecond) * e2eSeconds();
    std::mt19937 rng(3);
    for (auto _ : state) {
        PtyPair pty;
        QTemporaryDir dir;
        const QString path = dir.filePath("stream.csv");
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(dir.filePath("stderr.txt"));
        const auto t0 = Clock::now();
        cli.start(QStringLiteral(LIDAR_CLI_PATH), {"stream", "--port", pty.portName(), "--frames",
                                                   QString::number(total), "--output", path});
        double answeredMs = -1;
        double firstLineMs = -1;
        double cpuAtFirst = -1;
        double cpuAtLast = -1;
        double lastSampleMs = -1;
        Clock::time_point streamStart;
        qint64 sent = 0;
        for (;;) {
            const QByteArray fromCli = pty.read(0, 0);
            if (answeredMs < 0 && fromCli.contains(QByteArray::fromHex("00020000040000000000")))
                answeredMs = msSince(t0), streamStart = Clock::now();
            if (answeredMs >= 0 && sent < total) {
                const qint64 due = qMin<qint64>(total, qint64(msSince(streamStart) * kFramesPerSecond / 1000.0) + 1);
                QByteArray burst;
                for (; sent < due; ++sent)
                    burst += BenchFrames::measurementFrame(1, quint32(sent) * kTimestampStepUs, rng);
                pty.write(burst);
            }
            if (firstLineMs < 0 && QFile(path).size() > 200) {
                firstLineMs = msSince(t0);
                cpuAtFirst = cpuSecondsOf(cli.processId());
            }
            if (sent == total && cpuAtLast < 0 && fromCli.contains(QByteArray::fromHex("000f0000040000000000")))
                cpuAtLast = cpuSecondsOf(cli.processId()), lastSampleMs = msSince(t0);
            // QProcess learns of the child's end through the event loop.
            QCoreApplication::processEvents();
            if (cli.state() == QProcess::NotRunning || msSince(t0) > (e2eSeconds() + 30) * 1000.0)
                break;
            ::usleep(1000);
        }
        cli.waitForFinished(5000);
        const double streamMs = msSince(streamStart);
        const Written written = readBack(path);
        state.SetIterationTime(streamMs / 1000.0);
        state.counters["exit_code"] = cli.exitCode();
        state.counters["frames_sent"] = double(sent);
        state.counters["frames_written"] = double(written.frames);
        state.counters["lost"] = double(sent - written.frames);
        state.counters["gaps"] = double(written.gaps);
        // From its first line to its Stop: the program's share of a core while it streams.
        state.counters["cpu_share"] = (cpuAtLast - cpuAtFirst) / ((lastSampleMs - firstLineMs) / 1000.0);
        state.counters["answered_ms"] = answeredMs;
        state.counters["first_line_ms"] = firstLineMs;
        state.counters["first_line_after_answer_ms"] = firstLineMs - answeredMs;
    }
}

} // namespace

BENCHMARK(streamAtLinkLimit)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
