// Prints the JSON report of the sample machine (support/report_samples.h), for checking it
// against the published schema.
#include <iostream>

#include "report/json_report.h"
#include "support/report_samples.h"

int main() {
    std::cout << report::JsonReport(kelvra::test::SampleFacts(), kelvra::test::SampleRunContext());
    return 0;
}
