#include "sim/SimOptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>

namespace {

constexpr int kMaxPoints = 300;
constexpr int kMaxRate = 5000;
constexpr int kMaxGarbage = 4096;
constexpr int kMaxDelayMs = 600000;

bool toInt(const std::string &text, long lo, long hi, int &out)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

struct IntOption {
    int SimOptions::*field;
    long lo;
    long hi;
};

const std::map<std::string, IntOption> &intOptions()
{
    static const std::map<std::string, IntOption> table = {
        {"--rate", {&SimOptions::rate, 1, kMaxRate}},
        {"--points", {&SimOptions::points, 1, kMaxPoints}},
        {"--distance", {&SimOptions::distance, -32768, 32767}},
        {"--jitter", {&SimOptions::jitter, 0, 10000}},
        {"--bias", {&SimOptions::bias, -32768, 32767}},
        {"--blank", {&SimOptions::blankPercent, 0, 100}},
        {"--wander", {&SimOptions::wanderPercent, 0, 100}},
        {"--drift", {&SimOptions::driftMm, -32768, 32767}},
        {"--drift-tau", {&SimOptions::driftTauSeconds, 1, 86400}},
        {"--seed", {&SimOptions::seed, 0, INT_MAX}},
        {"--garbage", {&SimOptions::garbage, 0, kMaxGarbage}},
        {"--bad-checksum", {&SimOptions::badChecksumPercent, 0, 100}},
        {"--ack-drop", {&SimOptions::ackDropBlock, -1, INT_MAX}},
        {"--ack-fail", {&SimOptions::ackFailBlock, -1, INT_MAX}},
        {"--ack-delay", {&SimOptions::ackDelayMs, 0, kMaxDelayMs}},
        {"--idle-exit", {&SimOptions::idleExitSeconds, 0, 86400}},
        {"--watch-pid", {&SimOptions::watchPid, 0, INT_MAX}},
        {"--vanish-every", {&SimOptions::vanishEvery, 0, 86400}},
        {"--vanish-for", {&SimOptions::vanishForMs, 0, kMaxDelayMs}},
    };
    return table;
}

const std::map<std::string, std::string SimOptions::*> &textOptions()
{
    static const std::map<std::string, std::string SimOptions::*> table = {
        {"--link", &SimOptions::link},
        {"--image-out", &SimOptions::imageOut},
        {"--control", &SimOptions::control},
    };
    return table;
}

bool takeValue(const std::string &name, const std::string &value, SimOptions &out, std::string &error)
{
    const auto i = intOptions().find(name);
    if (i != intOptions().end()) {
        const IntOption &o = i->second;
        if (toInt(value, o.lo, o.hi, out.*(o.field)))
            return true;
        error = name + " needs a whole number from " + std::to_string(o.lo) + " to " + std::to_string(o.hi);
        return false;
    }
    if (value.empty()) {
        error = name + " needs a path";
        return false;
    }
    out.*(textOptions().at(name)) = value;
    return true;
}

bool takesValue(const std::string &name)
{
    return intOptions().count(name) > 0 || textOptions().count(name) > 0;
}

} // namespace

bool parseSimOptions(const std::vector<std::string> &args, SimOptions &out, std::string &error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (name == "--help" || name == "-h") {
            out.help = true;
        } else if (name == "--verbose" || name == "-v") {
            out.verbose = true;
        } else if (takesValue(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    error = name + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (!takeValue(name, value, out, error))
                return false;
        } else {
            error = "unknown option " + args[i];
            return false;
        }
    }
    return true;
}

std::string simHelpText()
{
    return "Usage: lidar-sim [options]\n"
           "Plays a single-beam lidar sensor on a pseudo-terminal. The first line on\n"
           "standard output is the port's path.\n"
           "\n"
           "  --rate N          measurement frames per second (1..5000, default 50)\n"
           "  --points N        points per frame (1..300, default 10)\n"
           "  --distance D      target distance the points scatter around (default 1500)\n"
           "  --jitter J        spread of the distances (default 6)\n"
           "  --bias B          add B mm to every distance, a sensor's systematic error\n"
           "                    (default 0)\n"
           "  --blank P         have the tool's quality filter blank about P percent of\n"
           "                    the frames (0..100, default 0; frames of one point are\n"
           "                    never blanked)\n"
           "  --wander P        let the target wander slowly (a sine over about 314 frames)\n"
           "                    by up to P percent of its distance (0..100, default 1;\n"
           "                    0 for distances that stay exact)\n"
           "  --drift MM        warm-up drift: the distances start MM off at the first\n"
           "                    Start after power-on and settle exponentially (default 0)\n"
           "  --drift-tau S     time constant of that settling in seconds (default 60)\n"
           "  --seed S          seed of the simulated noise (default 1)\n"
           "  --control PATH    make PATH a named pipe that takes control lines, applied\n"
           "                    from the next frame on (\"-\": read standard input):\n"
           "                      distance MM    move the target\n"
           "                      bias MM        set the systematic error\n"
           "                      jitter MM      set the spread of the distances\n"
           "                      blank PERCENT  set the share of blanked frames\n"
           "                      wander PERCENT set the target's slow wander\n"
           "                    e.g. echo distance 1000 > PATH; a bad line is reported on\n"
           "                    standard error and skipped; the pipe goes at the end\n"
           "  --link PATH       also make PATH a symbolic link to the port\n"
           "  --image-out FILE  write each downloaded image to FILE when its end command arrives\n"
           "  --garbage N       write N noise bytes between frames (0..4096, default 0)\n"
           "  --bad-checksum P  send P percent of the frames with a wrong checksum\n"
           "  --ack-drop B      never acknowledge download block B (counted from 0)\n"
           "  --ack-fail B      acknowledge download block B with result 0\n"
           "  --ack-delay MS    wait MS milliseconds before each acknowledgement\n"
           "  --idle-exit S     end S seconds after the last peer closed the port\n"
           "                    (default 5, 0 = never)\n"
           "  --watch-pid PID   end when process PID is gone\n"
           "  --vanish-every S  every S seconds, unplug: the port and the link go away,\n"
           "                    and a new port comes back under the link (needs --link),\n"
           "                    as a freshly powered sensor that waits for Start\n"
           "  --vanish-for MS   stay away MS milliseconds each time (default 2000)\n"
           "  --verbose         log each received command and control line on standard error\n"
           "  --help            show this text\n"
           "\n"
           "It ends on SIGINT or SIGTERM.\n";
}
