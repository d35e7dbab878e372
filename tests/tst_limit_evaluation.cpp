#include "testrun/LimitEvaluation.h"
#include "testrun/LinearityFit.h"

#include <QtTest>

using namespace TestRun;

Q_DECLARE_METATYPE(TestRun::Outcome)
Q_DECLARE_METATYPE(TestRun::Verdict)

namespace {

std::optional<double> opt(double v)
{
    return v < 0 ? std::nullopt : std::optional<double>(v);
}

StepResult passingStep(double reference)
{
    StepResult s;
    s.referenceMm = reference;
    s.framesKept = s.framesSeen = 500;
    s.meanMm = reference + 1;
    s.stdMm = 2;
    s.rateHz = 100;
    s.limits.biasMm = 20;
    s.limits.stdMm = 15;
    s.limits.blankedPercent = 1;
    s.limits.minRateHz = 50;
    return s;
}

StepResult withVerdict(Verdict v)
{
    StepResult s;
    s.verdict = v;
    return s;
}

} // namespace

class LimitEvaluationTest : public QObject {
    Q_OBJECT

private slots:
    // bias_mm / bias_percent of -1 stand for an absent limit.
    void biasAtItsEdges_data()
    {
        QTest::addColumn<double>("biasMm");
        QTest::addColumn<double>("biasPercent");
        QTest::addColumn<double>("reference");
        QTest::addColumn<double>("mean");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<double>("bound");

        QTest::newRow("exactly at the limit above") << 20.0 << -1.0 << 1000.0 << 1020.0 << Outcome::Pass << 20.0;
        QTest::newRow("exactly at the limit below") << 20.0 << -1.0 << 1000.0 << 980.0 << Outcome::Pass << 20.0;
        // 500 whole-millimetre frames move the mean in steps of 0.002 mm.
        QTest::newRow("one step over above") << 20.0 << -1.0 << 1000.0 << 1020.002 << Outcome::Fail << 20.0;
        QTest::newRow("one step over below") << 20.0 << -1.0 << 1000.0 << 979.998 << Outcome::Fail << 20.0;
        QTest::newRow("mm and percent add, at the limit") << 20.0 << 1.0 << 4000.0 << 4060.0 << Outcome::Pass << 60.0;
        QTest::newRow("mm and percent add, one step over") << 20.0 << 1.0 << 4000.0 << 4060.002 << Outcome::Fail << 60.0;
        QTest::newRow("percent alone") << -1.0 << 1.0 << 4000.0 << 3960.0 << Outcome::Pass << 40.0;
        QTest::newRow("percent alone, over") << -1.0 << 1.0 << 4000.0 << 3959.5 << Outcome::Fail << 40.0;
        // 0.7 / 100 x 1000 rounds to 6.999999999999999: a sensor exactly at
        // +-0.7 % would fail on the last bit.
        QTest::newRow("percent bound that rounds below its value")
            << -1.0 << 0.7 << 1000.0 << 1007.0 << Outcome::Pass << 0.7 / 100 * 1000;
        // 7007 / 10 is 700.7000000000000455 in a double, the bound 0.7000000000000001.
        QTest::newRow("mean that rounds above its value")
            << -1.0 << 0.1 << 700.0 << 7007.0 / 10 << Outcome::Pass << 0.1 / 100 * 700;
        QTest::newRow("zero limit, exact") << 0.0 << -1.0 << 500.0 << 500.0 << Outcome::Pass << 0.0;
        QTest::newRow("zero limit, one step off") << 0.0 << -1.0 << 500.0 << 500.002 << Outcome::Fail << 0.0;
        QTest::newRow("neither set") << -1.0 << -1.0 << 500.0 << 9000.0 << Outcome::NotChecked << 0.0;
    }

    void biasAtItsEdges()
    {
        QFETCH(double, biasMm);
        QFETCH(double, biasPercent);
        QFETCH(double, reference);
        QFETCH(double, mean);
        Limits limits;
        limits.biasMm = opt(biasMm);
        limits.biasPercent = opt(biasPercent);
        const Check c = checkBias(limits, reference, mean, 500);
        QTEST(c.outcome, "outcome");
        QTEST(c.bound, "bound");
    }

    void floatingNoiseAtALimitIsForgivenAMeasurableStepIsNot()
    {
        QVERIFY(withinMaximum(20.000000000000004, 20));
        QVERIFY(!withinMaximum(20.000001, 20));
        QVERIFY(withinMinimum(49.99999999999999, 50));
        QVERIFY(!withinMinimum(49.999999, 50));
    }

    void checksThatLackFramesFail()
    {
        Limits limits;
        limits.biasMm = 1000;
        limits.stdMm = 1000;
        limits.blankedPercent = 100;
        limits.minRateHz = 0;
        QCOMPARE(checkBias(limits, 500, 0, 0).outcome, Outcome::Fail);
        QCOMPARE(checkStd(limits, 0, 1).outcome, Outcome::Fail);
        QCOMPARE(checkStd(limits, 0, 2).outcome, Outcome::Pass);
        QCOMPARE(checkBlanked(limits, 0, 0).outcome, Outcome::Fail);
        QCOMPARE(checkRate(limits, 0, 0).outcome, Outcome::Fail);
        QCOMPARE(checkRate(limits, 0, 1).outcome, Outcome::Pass);
    }

    void otherLimitsAtTheirEdges_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<double>("limit");
        QTest::addColumn<double>("value");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("std at the limit") << "std" << 15.0 << 15.0 << Outcome::Pass;
        QTest::newRow("std over") << "std" << 15.0 << 15.0001 << Outcome::Fail;
        QTest::newRow("std of sqrt rounding") << "std" << 0.1 << std::sqrt(0.01) << Outcome::Pass;
        QTest::newRow("blanked at the limit") << "blanked" << 1.0 << 100.0 * 5 / 500 << Outcome::Pass;
        QTest::newRow("blanked one frame over") << "blanked" << 1.0 << 100.0 * 6 / 500 << Outcome::Fail;
        QTest::newRow("rate at the minimum") << "rate" << 100.0 << 100.0 << Outcome::Pass;
        QTest::newRow("rate below") << "rate" << 100.0 << 99.99 << Outcome::Fail;
        QTest::newRow("rate above") << "rate" << 100.0 << 3000.0 << Outcome::Pass;
    }

    void otherLimitsAtTheirEdges()
    {
        QFETCH(QString, which);
        QFETCH(double, limit);
        QFETCH(double, value);
        Limits limits;
        Check c;
        if (which == "std") {
            limits.stdMm = limit;
            c = checkStd(limits, value, 500);
        } else if (which == "blanked") {
            limits.blankedPercent = limit;
            c = checkBlanked(limits, value, 500);
        } else {
            limits.minRateHz = limit;
            c = checkRate(limits, value, 500);
        }
        QTEST(c.outcome, "outcome");
        QCOMPARE(c.bound, limit);
        QCOMPARE(checkStd(Limits(), value, 500).outcome, Outcome::NotChecked);
    }

    void stepVerdict()
    {
        StepResult s = passingStep(1000);
        evaluateStep(s);
        QCOMPARE(s.verdict, Verdict::Pass);
        QCOMPARE(s.bias.outcome, Outcome::Pass);
        QCOMPARE(s.rate.bound, 50.0);

        s.stdMm = 15.5;
        evaluateStep(s);
        QCOMPARE(s.verdict, Verdict::Fail);
        QCOMPARE(s.std.outcome, Outcome::Fail);
        QCOMPARE(s.bias.outcome, Outcome::Pass);

        s = passingStep(1000);
        s.error = QStringLiteral("link lost");
        evaluateStep(s);
        QCOMPARE(s.verdict, Verdict::Incomplete);

        s = passingStep(1000);
        s.limits = Limits();
        evaluateStep(s);
        QCOMPARE(s.verdict, Verdict::Incomplete);
    }

    void runVerdict_data()
    {
        QTest::addColumn<QList<Verdict>>("steps");
        QTest::addColumn<int>("planned");
        QTest::addColumn<Verdict>("verdict");
        using V = Verdict;
        QTest::newRow("every step passed") << QList<V>{V::Pass, V::Pass, V::Pass} << 3 << V::Pass;
        QTest::newRow("one step failed") << QList<V>{V::Pass, V::Fail, V::Pass} << 3 << V::Fail;
        QTest::newRow("an error after a failure") << QList<V>{V::Fail, V::Incomplete} << 2 << V::Incomplete;
        QTest::newRow("an error among passes") << QList<V>{V::Pass, V::Incomplete, V::Pass} << 3 << V::Incomplete;
        QTest::newRow("aborted before the last step") << QList<V>{V::Pass, V::Pass} << 3 << V::Incomplete;
        QTest::newRow("nothing run") << QList<V>{} << 0 << V::Incomplete;
    }

    void runVerdict()
    {
        QFETCH(QList<Verdict>, steps);
        QFETCH(int, planned);
        std::vector<StepResult> results;
        for (Verdict v : steps)
            results.push_back(withVerdict(v));
        QTEST(TestRun::runVerdict(results, std::size_t(planned)), "verdict");
    }

    void fitOnKnownData()
    {
        // Worked by hand: x mean 1875, y mean 1882; Sxx 7,187,500, Sxy 7,198,500.
        const std::vector<FitPoint> points = {{500, 505}, {1000, 1003}, {2000, 2011}, {4000, 4009}};
        const LinearityFit fit = fitLine(points);
        QVERIFY(fit.fitted());
        QCOMPARE(fit.points, 4);
        QCOMPARE(fit.slope, 7198500.0 / 7187500.0);
        QVERIFY(qAbs(fit.offsetMm - (1882 - fit.slope * 1875)) < 1e-9);
        double ssRes = 0, largest = 0, at = 0;
        for (const FitPoint &p : points) {
            const double r = p.measuredMm - (fit.slope * p.referenceMm + fit.offsetMm);
            ssRes += r * r;
            if (qAbs(r) > qAbs(largest)) {
                largest = r;
                at = p.referenceMm;
            }
        }
        QCOMPARE(at, 2000.0);
        QVERIFY(qAbs(fit.largestResidualMm - largest) < 1e-9);
        // Syy = 7,209,540.
        QVERIFY(qAbs(fit.rSquared - (1 - ssRes / 7209540.0)) < 1e-12);
    }

    void fitOfAnExactLine()
    {
        const LinearityFit fit = fitLine({{500, 508}, {1500, 1518}, {3000, 3033}});
        QVERIFY(qAbs(fit.slope - 1.01) < 1e-12);
        QVERIFY(qAbs(fit.offsetMm - 3) < 1e-9);
        QVERIFY(qAbs(fit.rSquared - 1) < 1e-12);
        QVERIFY(qAbs(fit.largestResidualMm) < 1e-9);
        QCOMPARE(fit.largestResidualAtMm, 500.0);
    }

    void fitWithoutEnoughToFit()
    {
        QCOMPARE(fitLine({}).status, LinearityFit::Status::TooFewPoints);
        QCOMPARE(fitLine({{500, 501}}).status, LinearityFit::Status::TooFewPoints);
        const LinearityFit same = fitLine({{500, 501}, {500, 503}, {500, 499}});
        QCOMPARE(same.status, LinearityFit::Status::ReferencesEqual);
        QCOMPARE(same.points, 3);

        const LinearityFit flat = fitLine({{500, 700}, {1000, 700}});
        QVERIFY(flat.fitted());
        QCOMPARE(flat.slope, 0.0);
        QCOMPARE(flat.rSquared, 1.0);
    }

    void fitTakesOnlyStepsWithFigures()
    {
        std::vector<StepResult> steps = {passingStep(500), passingStep(1000), passingStep(2000), passingStep(3000)};
        steps[1].error = QStringLiteral("command failed");
        steps[2].framesKept = 0;
        const LinearityFit fit = fitLinearity(steps);
        QCOMPARE(fit.points, 2);
        QVERIFY(qAbs(fit.slope - 1) < 1e-12);
        QVERIFY(qAbs(fit.offsetMm - 1) < 1e-9);
    }
};

QTEST_GUILESS_MAIN(LimitEvaluationTest)
#include "tst_limit_evaluation.moc"
