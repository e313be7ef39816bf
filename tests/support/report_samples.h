// A report of a made-up machine with every kind of row, for the tests of the report's
// writers: located, found nowhere, a copy of the other machine, a copy missing an import, no
// version resource, the error row; and a PATH with a repeat and an undefined variable.
#pragma once

#include "report/json_report.h"

namespace kelvra::test {

report::ReportFacts SampleFacts();
report::RunContext SampleRunContext();

}  // namespace kelvra::test
