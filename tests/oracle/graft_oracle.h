// sino_graft's driver evaluated as written: trigonometry per view, one
// 8-byte read or write per sample, every quantity formed where the steps
// form it. The table comes loaded and mirrored.
#pragma once

#include <cstdio>

#include "sino_graft/source_table.h"

struct GraftArguments {
    double c0;
    int n1, m1;
    double c1, ratio, ot, dx, dy;
};

// Writes SG2's header and samples to `out`; `sg1` is null for the
// dimensions-only form. Returns false where the program would stop with
// "SG1 data read error." (after writing what came before it). `c2` receives
// the center the program reports.
bool GraftOracle(const SourceTable &table, const GraftArguments &a, FILE *sg1, FILE *out, double *c2);

// The table as a straightforward program loads it: heap memory faulted in
// page by page, one fread per row. No checks: for well-formed input only.
SourceTable LoadTableStraightforward(FILE *in);
void ReleaseTableStraightforward(SourceTable &table);
