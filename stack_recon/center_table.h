// -c FILE: the rotation axis given row by row, a text file of lines
// "ROW CENTER" (a detector row, a whole number from 0, and its axis in
// detector columns), rows increasing; blank lines and '#' comments are
// skipped. A row between two listed rows takes the linear interpolation
// of theirs; a row before the first or after the last takes the nearest
// end's center.
#pragma once

#include <string>
#include <vector>

#include "status.h"

struct CenterTable {
    std::string name;
    std::vector<int> rows;
    std::vector<double> centers;
    std::vector<int> lines;  // each entry's line in the file, from 1
};

// Reads the table. Fails with "FILE: file not found.", "FILE: data read
// error.", "FILE: line L: bad line." (not two numbers: a whole row from 0
// and a finite center), "FILE: line L: rows not increasing." or "FILE: no
// rows.".
Status ReadCenterTable(const char *name, CenterTable *table);

// Fails with "FILE: line L: center outside the detector." for the first
// center not strictly inside (0, detectors - 1), as -c NUMBER is checked.
Status CheckCenterTable(const CenterTable &table, int detectors);

// The center of detector row `row`.
double TableCenter(const CenterTable &table, int row);
