// Where the report's columns start, from the window's width.
#pragma once

namespace report {

struct ColumnPositions {
    long regInfo = 0;
    long date = 0;
    long size = 0;
    long version = 0;
};

// Rounds to the nearest whole number, an exact half going to the even neighbour.
long RoundHalfEven(double value);

// Reg_Info at 0.4, Date at 0.5, Size at 0.65 and Version at 0.85 of the width, in twips.
ColumnPositions ComputeColumnPositions(double widthTwips);

}  // namespace report
