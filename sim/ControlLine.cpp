#include "sim/ControlLine.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

struct Setting {
    const char *name;
    double Scene::*field;
    double lo;
    double hi;
    const char *unit;
};

constexpr Setting kSettings[] = {
    {"distance", &Scene::distanceMm, -32768, 32767, "MM"},
    {"bias", &Scene::biasMm, -32768, 32767, "MM"},
    {"jitter", &Scene::jitterMm, 0, 10000, "MM"},
    {"blank", &Scene::blankPercent, 0, 100, "PERCENT"},
    {"wander", &Scene::wanderPercent, 0, 100, "PERCENT"},
};

// Plain decimals only: strtod alone would also take "inf", "nan" and hex.
bool toNumber(const std::string &text, double &out)
{
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    int digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    if (digits == 0)
        return false;
    out = std::strtod(text.c_str(), nullptr);
    return true;
}

std::string number(double v)
{
    std::ostringstream s;
    s << v;
    return s.str();
}

} // namespace

std::string applyControlLine(const std::string &line, Scene &scene, std::string &applied)
{
    applied.clear();
    std::istringstream words(line);
    std::string name, value, extra;
    if (!(words >> name) || name[0] == '#')
        return {};
    for (const Setting &s : kSettings) {
        if (name != s.name)
            continue;
        const std::string usage = name + " takes one number from " + number(s.lo) + " to " + number(s.hi)
            + " (" + name + " " + s.unit + ")";
        double v = 0;
        if (!(words >> value) || (words >> extra) || !toNumber(value, v) || v < s.lo || v > s.hi)
            return usage;
        scene.*(s.field) = v;
        applied = name + " " + number(v);
        return {};
    }
    return "not a setting; the settings are distance, bias, jitter, blank and wander";
}
