#include "bench/BenchFrames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <random>
#include <termios.h>
#include <unistd.h>
#include <vector>

// This tool's window and a general serial terminal (CuteCom, in its hex
// view), each given its own pseudo-terminal fed with measurement frames
// written whole at the link's byte rate, in alternating rounds. The figure is
// the CPU the receiving process used (from /proc), read after a warm-up.
// Runs inside an X server (bench/side_by_side.sh starts one); the programs
// are opened on their port by their own settings and keys (xdotool), so
// both take the same path a user's would.
namespace {

QTextStream out(stdout);

struct Options {
    QString tool;
    QStringList baselines; // other builds of the tool, measured the same way
    QString peer = QStringLiteral("cutecom");
    QString preload; // answers the modem-line calls a pseudo-terminal refuses
    QList<int> points {1, 300};
    int rounds = 3;
    int seconds = 20;
    int warmup = 3;
    QString only; // names of the programs to measure, comma-separated (default: all)
};

// The device side of a pseudo-terminal; the slave stays open here so the
// line lives while the program under test opens and closes it.
class PtyLine {
public:
    PtyLine()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios tio {};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        slaveKeep = slave;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        // The program under test must open the port itself, not inherit it.
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        path = QString::fromLocal8Bit(name);
    }
    ~PtyLine()
    {
        if (master >= 0)
            ::close(master);
        if (slaveKeep >= 0)
            ::close(slaveKeep);
    }
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // One write per frame as long as the line takes it. A full line waits,
    // which then shows as a rate below the link's; false when the program
    // has taken nothing for 5 s.
    bool writeWhole(const QByteArray &frame)
    {
        const char *p = frame.constData();
        qint64 left = frame.size();
        while (left > 0) {
            const ssize_t n = ::write(master, p, size_t(left));
            if (n > 0) {
                p += n;
                left -= n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            pollfd pfd {master, POLLOUT, 0};
            if (poll(&pfd, 1, 5000) <= 0)
                return false;
        }
        return true;
    }
    // Whatever the program sent (a Start command): read so it never fills up.
    void drain()
    {
        char buf[256];
        pollfd pfd {master, POLLIN, 0};
        while (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN))
            if (::read(master, buf, sizeof buf) <= 0)
                break;
    }

    int master = -1;
    int slaveKeep = -1;
    QString path;
};

double monotonicSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void sleepUntil(double seconds)
{
    timespec ts {};
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long((seconds - double(ts.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Frames at the link's byte rate: frame k leaves once the bytes before it
// have had their time on the wire.
class Streamer {
public:
    Streamer(PtyLine &line, int points)
        : line(line)
        , points(points)
        , rng(11)
    {
        start = monotonicSeconds();
    }

    bool runFor(double seconds)
    {
        const double until = monotonicSeconds() + seconds;
        for (;;) {
            double due = start + double(bytes) / BenchFrames::kLinkBytesPerSecond;
            if (due >= until)
                return true;
            // A short stall of the streamer (descheduled on a busy machine)
            // is made up, as a bridge's buffer would; a long one stays lost,
            // so a catch-up never floods the line.
            const double late = monotonicSeconds() - due;
            if (late > kMaxLateSeconds) {
                start += late;
                due += late;
            }
            sleepUntil(due);
            const auto stamp = quint32(quint64((due - start) * 1e6) % 30000000u);
            const QByteArray frame = BenchFrames::measurementFrame(points, stamp, rng);
            if (!line.writeWhole(frame))
                return false;
            bytes += frame.size();
            ++frames;
            if (frames % 64 == 0)
                line.drain();
        }
    }
    qint64 bytes = 0;
    qint64 frames = 0;

private:
    PtyLine &line;
    static constexpr double kMaxLateSeconds = 0.25;
    const int points;
    std::mt19937 rng;
    double start = 0;
};

// utime + stime of every thread of `pid`, in seconds; negative when gone.
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which may itself hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

bool holdsFile(qint64 pid, const QString &path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::AllEntries))
        if (QFile::symLinkTarget(fds.filePath(fd)) == path)
            return true;
    return false;
}

QString run(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// How one program is opened on the port.
struct Subject {
    QString name;
    QString program;
    QStringList keys; // xdotool key names, pressed in order in its window
    QString preload;
    // Writes the settings it opens with into `home` (also its working
    // folder) and gives its command-line arguments.
    std::function<QStringList(const QString &home, const QString &port)> prepare;
};

Subject toolSubject(const QString &program, const QString &name)
{
    Subject s;
    s.name = name;
    s.program = program;
    // Space is Start by default: it opens the chosen port and sends the start command.
    s.keys = QStringList {QStringLiteral("space")};
    s.prepare = [](const QString &, const QString &port) {
        return QStringList {QStringLiteral("--port"), port, QStringLiteral("--baud"), QStringLiteral("921600")};
    };
    return s;
}

Subject peerSubject(const Options &o)
{
    Subject s;
    s.name = QStringLiteral("cutecom");
    s.program = o.peer;
    // Alt+X: hex output; Alt+O: open the session's device.
    s.keys = QStringList {QStringLiteral("alt+x"), QStringLiteral("alt+o")};
    s.preload = o.preload;
    s.prepare = [](const QString &home, const QString &port) {
        QDir(home).mkpath(QStringLiteral(".config/CuteCom"));
        QFile conf(home + QStringLiteral("/.config/CuteCom/CuteCom5.conf"));
        conf.open(QIODevice::WriteOnly);
        QTextStream(&conf) << "[sessions]\n1\\BaudRate=921600\n1\\DataBits=8\n1\\Device=" << port
                           << "\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n"
                              "1\\autoReconnect=false\n1\\name=Default\n1\\showCtrlCharacters=false\n"
                              "1\\showTimestamp=false\nsize=1\n";
        return QStringList();
    };
    return s;
}

struct Outcome {
    double cpu = -1; // share of one core
    double bytesPerSecond = 0;
    QString error;
};

Outcome measure(const Subject &subject, int points, const Options &o)
{
    Outcome result;
    PtyLine line;
    QTemporaryDir home;
    // SIDE_BY_SIDE_KEEP=1 keeps each program's folder (settings, stderr.txt) to look into.
    const bool keep = !qEnvironmentVariableIsEmpty("SIDE_BY_SIDE_KEEP");
    home.setAutoRemove(!keep);
    if (keep)
        qInfo("home %s", qPrintable(home.path()));
    if (line.master < 0 || !home.isValid()) {
        result.error = QStringLiteral("no pseudo-terminal");
        return result;
    }
    const QStringList args = subject.prepare(home.path(), line.path);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (!subject.preload.isEmpty())
        env.insert(QStringLiteral("LD_PRELOAD"), subject.preload);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.path());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(home.path() + QStringLiteral("/stderr.txt"));
    process.start(subject.program, args);
    if (!process.waitForStarted(10000)) {
        result.error = QStringLiteral("did not start");
        return result;
    }
    const qint64 pid = process.processId();
    const QString pidText = QString::number(pid);
    const QString window = run(QStringLiteral("xdotool"),
                               {"search", "--sync", "--onlyvisible", "--pid", pidText, "--name", "."}, 20000)
                               .section('\n', 0, 0);
    bool opened = false;
    if (!window.isEmpty()) {
        QStringList keyArgs {"windowfocus", "--sync", window, "key", "--delay", "200"};
        run(QStringLiteral("xdotool"), keyArgs + subject.keys, 10000);
        QElapsedTimer wait;
        wait.start();
        while (!(opened = holdsFile(pid, line.path)) && wait.elapsed() < 10000)
            QThread::msleep(50);
    }
    if (opened) {
        Streamer streamer(line, points);
        streamer.runFor(o.warmup);
        const double cpu0 = processCpuSeconds(pid);
        const double wall0 = monotonicSeconds();
        const qint64 bytes0 = streamer.bytes;
        const bool streamed = streamer.runFor(o.seconds);
        const double cpu1 = processCpuSeconds(pid);
        const double wall = monotonicSeconds() - wall0;
        result.bytesPerSecond = double(streamer.bytes - bytes0) / wall;
        if (!streamed || cpu0 < 0 || cpu1 < 0 || !holdsFile(pid, line.path))
            result.error = QStringLiteral("the program stopped reading");
        else
            result.cpu = (cpu1 - cpu0) / wall;
    } else {
        result.error = window.isEmpty() ? QStringLiteral("no window") : QStringLiteral("port not opened");
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return result;
}

double mean(const std::vector<double> &v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / double(v.size());
}

bool parse(const QStringList &args, Options &o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const QString value = i + 1 < args.size() ? args.at(++i) : QString();
        if (a == QLatin1String("--tool"))
            o.tool = value;
        else if (a == QLatin1String("--baseline"))
            o.baselines << value;
        else if (a == QLatin1String("--peer"))
            o.peer = value;
        else if (a == QLatin1String("--preload"))
            o.preload = value;
        else if (a == QLatin1String("--rounds"))
            o.rounds = value.toInt();
        else if (a == QLatin1String("--seconds"))
            o.seconds = value.toInt();
        else if (a == QLatin1String("--only"))
            o.only = value;
        else if (a == QLatin1String("--warmup"))
            o.warmup = value.toInt();
        else if (a == QLatin1String("--points")) {
            o.points.clear();
            for (const QString &p : value.split(','))
                o.points << p.toInt();
        } else
            return false;
    }
    return !o.tool.isEmpty() && o.rounds > 0 && o.seconds > 0 && o.warmup >= 0 && !o.points.contains(0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    if (!parse(app.arguments(), o)) {
        QTextStream(stderr) << "usage: side_by_side --tool PATH [--baseline PATH] [--peer PATH] [--preload LIB]"
                               " [--points 1,300] [--rounds 3] [--seconds 20] [--warmup 3] [--only NAME]\n";
        return 2;
    }
    std::vector<Subject> subjects {toolSubject(o.tool, QStringLiteral("lidar-waveform"))};
    for (int i = 0; i < o.baselines.size(); ++i)
        subjects.push_back(toolSubject(o.baselines.at(i), i == 0 ? QStringLiteral("baseline")
                                                                 : QStringLiteral("baseline%1").arg(i + 1)));
    subjects.push_back(peerSubject(o));
    if (!o.only.isEmpty())
        subjects.erase(std::remove_if(subjects.begin(), subjects.end(),
                                      [&](const Subject &s) { return !o.only.split(',').contains(s.name); }),
                       subjects.end());
    const int count = int(subjects.size());
    out << "frames written whole at " << BenchFrames::kLinkBytesPerSecond << " B/s; " << o.rounds
        << " alternating rounds of " << o.seconds << " s after " << o.warmup << " s of warm-up\n";
    out.flush();
    int status = 0;
    // figures[points][subject]: the mean over the rounds that succeeded
    std::vector<std::vector<double>> figures;
    for (int points : o.points) {
        std::vector<std::vector<double>> cpu(subjects.size());
        for (int round = 0; round < o.rounds; ++round) {
            // Each round starts with another program, so a drift in the
            // machine's load does not always fall on the same one.
            for (int k = 0; k < count; ++k) {
                const int s = (round + k) % count;
                const Outcome r = measure(subjects[std::size_t(s)], points, o);
                out << QStringLiteral("points %1 round %2 %3: ")
                           .arg(points)
                           .arg(round + 1)
                           .arg(subjects[std::size_t(s)].name, -15);
                if (!r.error.isEmpty()) {
                    out << "FAILED (" << r.error << ")\n";
                    status = 1;
                } else {
                    out << QString::number(r.cpu, 'f', 3) << " core at " << qRound(r.bytesPerSecond) << " B/s\n";
                    cpu[std::size_t(s)].push_back(r.cpu);
                }
                out.flush();
            }
        }
        std::vector<double> means;
        for (const auto &c : cpu)
            means.push_back(mean(c));
        figures.push_back(means);
    }
    // Each other program's figure over this tool's: above 1, this tool used less.
    out << "\nCPU of the receiving process (share of one core), mean of the rounds\npoints";
    for (const Subject &s : subjects)
        out << QStringLiteral("  %1").arg(s.name, 15);
    for (std::size_t k = 1; k < subjects.size(); ++k)
        out << QStringLiteral("  %1").arg(subjects[k].name + QStringLiteral(" / ") + subjects[0].name, 26);
    out << "\n";
    for (std::size_t i = 0; i < figures.size(); ++i) {
        out << QStringLiteral("%1").arg(o.points.at(int(i)), 6);
        for (double f : figures[i])
            out << QStringLiteral("  %1").arg(f, 15, 'f', 3);
        const double first = figures[i].front();
        for (std::size_t k = 1; k < figures[i].size(); ++k)
            out << QStringLiteral("  %1").arg(first > 0 ? figures[i][k] / first : 0.0, 26, 'f', 2);
        out << "\n";
    }
    return status;
}
