// Reads the input as a test plan. A plan is written by people and passed
// around, so any bytes must end in a plan or a named refusal; a plan that is
// accepted must write out and read back as the same plan, and its written
// form must be what writing it again gives.
#include "testrun/PlanValidation.h"
#include "testrun/TestPlanJson.h"
#include "testrun/TestPlanTexts.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    TestRun::PlanError error;
    const auto plan = TestRun::parsePlan(json, &error);
    if (!plan) {
        check(!TestPlanTexts::errorText(error).isEmpty());
        return 0;
    }
    const QByteArray written = TestRun::planToJson(*plan);
    TestRun::PlanError again;
    const auto back = TestRun::parsePlan(written, &again);
    check(back.has_value());
    check(*back == *plan);
    check(TestRun::planToJson(*back) == written);
    return 0;
}
