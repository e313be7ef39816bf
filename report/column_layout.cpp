#include "report/column_layout.h"

#include <cmath>

namespace report {

long RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    auto result = static_cast<long>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) {
        ++result;
    }
    return result;
}

ColumnPositions ComputeColumnPositions(double widthTwips) {
    return ColumnPositions{RoundHalfEven(widthTwips * 0.4), RoundHalfEven(widthTwips * 0.5),
                           RoundHalfEven(widthTwips * 0.65), RoundHalfEven(widthTwips * 0.85)};
}

}  // namespace report
