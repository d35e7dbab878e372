#include "files/CurveTextStream.h"

#include "files/CurveTextReader.h"

#include <QIODevice>

#include <string>

namespace {

// The line and part being read, carried across pieces.
class PartState {
public:
    explicit PartState(CurveTextStream::Sink *sink)
        : sink(sink)
    {
        part.reserve(64);
    }

    // Takes in bytes [begin, end) of a piece; false when the sink stopped.
    bool take(const char *begin, const char *end)
    {
        for (const char *c = begin; c < end; ++c) {
            switch (*c) {
            case '\r':
                break;
            case '\n':
                if (!finishPart())
                    return false;
                inCurve = false;
                break;
            case ',':
                if (!beginCurveOnce() || !finishPart())
                    return false;
                break;
            default:
                if (!beginCurveOnce())
                    return false;
                if (part.size() < std::size_t(CurveTextStream::kMaxPartChars))
                    part.push_back(*c);
                else
                    tooLong = true;
            }
        }
        return true;
    }

    bool finishPart()
    {
        double value = 0;
        const bool convert = !part.empty() && !tooLong;
        const bool ok = convert && CurveTextReader::parsePart(part.data(), part.data() + part.size(), &value);
        part.clear();
        tooLong = false;
        return !ok || sink->addValue(value);
    }

private:
    bool beginCurveOnce()
    {
        if (inCurve)
            return true;
        inCurve = true;
        return sink->beginCurve();
    }

    CurveTextStream::Sink *sink;
    std::string part;
    bool tooLong = false;
    bool inCurve = false;
};

} // namespace

CurveTextStream::Outcome CurveTextStream::read(QIODevice *device, Sink *sink, qint64 pieceBytes)
{
    PartState state(sink);
    std::string piece(std::size_t(qMax<qint64>(pieceBytes, 1)), '\0');
    for (;;) {
        const qint64 got = device->read(&piece[0], qint64(piece.size()));
        if (got < 0)
            return Outcome::ReadFailed;
        if (got == 0)
            break;
        if (!state.take(piece.data(), piece.data() + got))
            return Outcome::Stopped;
    }
    return state.finishPart() ? Outcome::Finished : Outcome::Stopped;
}
