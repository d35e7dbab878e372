#pragma once

#include "testrun/LinearityFit.h"
#include "testrun/RunRecord.h"
#include "testrun/StepCollector.h"
#include "testrun/TestPlan.h"
#include "workflow/UnitIdentifier.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

class MeasurementFeed;
class QTRNet;
class StepCommand;

namespace TestRun {

// The live figures of the step being measured.
struct StepProgress {
    int step = -1;            // from 0
    qint64 framesPlanned = 0; // N: the step ends when framesSeen reaches it
    bool settling = false;    // frames are still discarded
    // The figures so far with every limit checked as they stand; the
    // verdict is provisional until stepFinished().
    StepResult figures;
};

// Carries out an accuracy run: identifies the unit, then for each step the
// operator's placing of the target (or the step's command), Start, the
// settle time (frames discarded), N frames collected, Stop, the step's
// verdict; at the end the run's verdict and the linearity fit. Driven by the
// frames of the feed and by timers: no call waits, and a frame costs a fixed
// number of steps beyond the step's statistics.
//
// It holds the link's lease as a test run from start() to the end, whatever
// the end. A lost link (the port closing: whoever owns the port closes it
// when its device goes, as the window does), a Stop sent by anyone else, a
// Start that cannot be sent or that no frame answers, frames that stop
// coming, and abort() end the step in progress with an error and the run as
// INCOMPLETE. A failed command ends its step with an error too, and the run
// as well unless the operator paces it: then Retry step runs it again.
// Texts translated in the context "TestRunner".
//
// Each start() that returns true ends in exactly one of
// identificationFailed() (the run never began: nothing to keep) or
// runFinished().
class TestRunner : public QObject {
    Q_OBJECT
public:
    enum class Phase {
        Idle,
        Identifying,
        WaitingForOperator, // see nextStep(), lastStep(): proceed(), retryStep() or abort()
        RunningCommand,
        Settling,
        Collecting,
        Stopping,           // Stop sent; frames still on their way are let pass
        Finished,
    };
    Q_ENUM(Phase)

    // When the runner waits for the operator's Continue.
    enum class Pace {
        Operator,   // before a step without a command, and after every step
        Commands,   // only before a step without a command (the target must be placed)
        Unattended, // never (the command-line --yes)
    };
    Q_ENUM(Pace)

    struct Timing {
        int answerMs = UnitIdentifier::kDefaultAnswerMs; // for each identification request
        int answerAttempts = UnitIdentifier::kDefaultAttempts;
        int firstFrameMs = 3000;  // from Start to the first frame
        int frameGapMs = 3000;    // silence that ends a step while frames are awaited
        int drainMs = 100;        // after Stop, before the next Start may go
        int progressMs = 100;     // between two progressChanged()
    };

    // `feed` carries the processed frames of `net`'s link; both must outlive
    // the runner.
    TestRunner(QTRNet *net, MeasurementFeed *feed, QObject *parent = nullptr);
    // Ends a running run as an abort would, without signals, and gives the lease back.
    ~TestRunner() override;

    void setPace(Pace pace) { pace_ = pace; }
    Pace pace() const { return pace_; }
    void setTiming(const Timing &timing) { timing_ = timing; }
    const Timing &timing() const { return timing_; }

    // Begins a run of `plan`; `planJson` is kept as the plan run (empty: the
    // plan written out). False, with `why` and nothing begun, while a run
    // goes on, when the plan is not fit to run or someone else holds the link.
    bool start(const TestPlan &plan, const QByteArray &planJson = QByteArray(), QString *why = nullptr);
    // Continue: begins nextStep(), or ends the run when there is none.
    void proceed();
    // Retry step: measures lastStep() again; its new result replaces the old.
    void retryStep();
    // Ends the run now as INCOMPLETE; a step in progress ends with an error,
    // its command killed, and acquisition is stopped.
    void abort();

    Phase phase() const { return phase_; }
    bool isRunning() const { return phase_ != Phase::Idle && phase_ != Phase::Finished; }
    // While waiting: the step Continue begins (-1: Continue ends the run) and
    // the step Retry repeats (-1: none).
    int nextStep() const { return next; }
    int lastStep() const { return last; }
    // The step being carried out, or the last one begun; -1 before the first.
    int currentStep() const { return current; }
    // The plan's steps with its defaults filled in.
    const std::vector<ResolvedStep> &steps() const { return planned; }
    // The run so far: the unit, the finished steps in plan order, and at the end its verdict.
    const RunRecord &record() const { return run; }
    StepProgress progress() const;
    // Over the finished steps; at the end, the run's.
    LinearityFit linearity() const { return fitLinearity(run.steps); }

    // "将目标置于 %1 mm 处，然后按 继续", for a window; a program without one
    // prints its own.
    static QString targetPrompt(double referenceMm);

signals:
    void phaseChanged(TestRunner::Phase phase);
    // The unit is known and the run has begun: record() holds the unit and the start time.
    void runStarted(const TestRun::RunRecord &record);
    // The run never began; `why` names the request that went unanswered and why.
    void identificationFailed(const QString &why);
    // Continue is awaited (see nextStep(), lastStep()).
    void waitingForOperator();
    void commandStarted(int step, const QString &command);
    // Start went out for `step`.
    void acquisitionStarted(int step);
    void progressChanged(const TestRun::StepProgress &progress);
    // A step ended, with its verdict or its error; record() holds it.
    void stepFinished(const TestRun::StepResult &result);
    // The run ended, the lease is given back: the record with its end and verdict.
    void runFinished(const TestRun::RunRecord &record);

private:
    void onIdentified(const UnitIdentity &unit);
    void onIdentificationFailed(const QString &why);
    void beforeStep(int index);
    void beginStep(int index);
    void onCommandFinished(bool ok, const QString &why);
    void startAcquisition();
    void onFrame(const MeasurementRecord &record);
    void onSettled();
    void onGapCheck();
    void onFrameSent(const QByteArray &frame);
    void onPortClosing();
    void stopAcquisition();
    void onDrained();
    void finishStep();
    void failStep(const QString &why, bool endsRun);
    void keepStep(const StepResult &result);
    void endRun(bool complete);
    bool sendOwn(quint8 cmd);
    bool waitsBefore(int index) const;
    void setPhase(Phase phase);
    void stopTimers();
    void disconnectLink();

    QTRNet *net;
    MeasurementFeed *feed;
    UnitIdentifier *identifier;
    StepCommand *command;
    Pace pace_ = Pace::Operator;
    Timing timing_;
    Phase phase_ = Phase::Idle;
    std::vector<ResolvedStep> planned;
    RunRecord run;
    StepResult step;
    StepCollector collector;
    int current = -1;
    int next = -1;
    int last = -1;
    bool holdsLease = false;
    bool sendingOwn = false;
    bool linkLost = false;
    bool frameSeen = false;     // since this step's Start
    qint64 framesSinceCheck = 0;
    quint64 generation = 0;     // of the run, so a late reaction meets only its own
    QTimer settleTimer;
    QTimer firstFrameTimer;
    QTimer gapTimer;
    QTimer drainTimer;
    QTimer progressTimer;
    QList<QMetaObject::Connection> linkConnections;
};

} // namespace TestRun
