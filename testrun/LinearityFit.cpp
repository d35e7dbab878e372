#include "testrun/LinearityFit.h"

#include <algorithm>
#include <cmath>

namespace TestRun {

LinearityFit fitLine(const std::vector<FitPoint> &points)
{
    LinearityFit fit;
    fit.points = int(points.size());
    if (points.size() < 2)
        return fit;
    // Centred sums: references of several metres would otherwise cancel digits.
    double meanX = 0, meanY = 0;
    for (const FitPoint &p : points) {
        meanX += p.referenceMm;
        meanY += p.measuredMm;
    }
    meanX /= double(points.size());
    meanY /= double(points.size());
    double sxx = 0, sxy = 0, syy = 0;
    for (const FitPoint &p : points) {
        const double dx = p.referenceMm - meanX, dy = p.measuredMm - meanY;
        sxx += dx * dx;
        sxy += dx * dy;
        syy += dy * dy;
    }
    if (sxx == 0) {
        fit.status = LinearityFit::Status::ReferencesEqual;
        return fit;
    }
    fit.status = LinearityFit::Status::Fitted;
    fit.slope = sxy / sxx;
    fit.offsetMm = meanY - fit.slope * meanX;
    double residualSquares = 0;
    fit.largestResidualAtMm = points.front().referenceMm;
    for (const FitPoint &p : points) {
        const double r = p.measuredMm - (fit.slope * p.referenceMm + fit.offsetMm);
        residualSquares += r * r;
        if (std::fabs(r) > std::fabs(fit.largestResidualMm)) {
            fit.largestResidualMm = r;
            fit.largestResidualAtMm = p.referenceMm;
        }
    }
    fit.rSquared = syy > 0 ? std::max(0.0, 1.0 - residualSquares / syy) : 1.0;
    return fit;
}

LinearityFit fitLinearity(const std::vector<StepResult> &steps)
{
    std::vector<FitPoint> points;
    for (const StepResult &s : steps)
        if (s.error.isEmpty() && s.framesKept > 0)
            points.push_back({s.referenceMm, s.meanMm});
    return fitLine(points);
}

} // namespace TestRun
