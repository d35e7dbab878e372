#pragma once

#include "cli/CommandOptions.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementPipeline.h"

#include <QObject>
#include <QTimer>

class SensorLink;
struct MeasurementRecord;

// One acquisition of `stream` and `stats`: Start, the measurement frames
// (as many as asked for, or as come in the time asked for), then Stop,
// whatever ends it: the amount reached, a silent or vanished device, a
// failed output, a signal. Frames past the end are not passed on.
class Acquisition : public QObject {
    Q_OBJECT
public:
    enum class Ending { Reached, Silent, Lost, OutputFailed, Interrupted };

    // Silence after Start, or between two frames, this long means the
    // device does not answer.
    static constexpr int kSilenceMs = 3000;

    Acquisition(SensorLink *link, const CommandOptions::Amount &amount, QObject *parent = nullptr);

    // Sends Start; `frame` follows for every frame, `ended` once at the end.
    void begin();
    // Ends early: sends Stop (once the endpoint may send), then `ended`.
    void end(Ending why);

    MeasurementFeed &feed() { return *pipeline.feed(); }
    qint64 frames() const { return counted; }
    bool isEnding() const { return ending; }
    // Why the acquisition ended, in a line for standard error; empty when
    // it ended as asked.
    QString endingText() const;

signals:
    void frame(const MeasurementRecord &record);
    void ended(Acquisition::Ending why);

private:
    void measured(const MeasurementRecord &record);
    void sendStop();
    void silent();
    void durationOver();

    SensorLink *link;
    CommandOptions::Amount amount;
    MeasurementPipeline pipeline;
    QTimer silence;
    QTimer duration;
    bool running = false;
    bool ending = false;
    bool stopPosted = false;
    Ending why = Ending::Reached;
    qint64 counted = 0;
};
