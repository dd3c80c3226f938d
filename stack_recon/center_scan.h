// -C FROM,TO,STEP: one detector row reconstructed about each trial center
// FROM, FROM + STEP, ... up to TO, a page each, for a person to pick the
// sharpest when the search fails (a sample that moves, views missing).
#pragma once

#include <string>
#include <vector>

#include "kernels.h"
#include "sinograms.h"
#include "stack_inputs.h"
#include "status.h"
#include "turn.h"
#include "views.h"
#include "volume.h"

// More pages than a person looks through.
inline constexpr int kMostScanPages = 1000;

// The trial centers: FROM + k STEP for k = 0 ... n - 1, up to TO, which
// counts as reached within a millionth of a step (so that 30,30.9,0.1 has
// ten pages, whatever the rounding). Fails with "bad center scan: WORD."
// (not three numbers with commas), "bad center scan step." (not above 0),
// "center scan from above its end." (FROM > TO) or "center scan of more
// than 1000 pages.".
Status CenterScanArgument(const char *text, std::vector<double> *centers);

// Fails with "center scan outside the detector." unless every trial
// center lies strictly inside (0, detectors - 1).
Status CheckCenterScan(const std::vector<double> &centers, int detectors);

// Each page's description line: "center=C" (C as "%lf" prints it).
std::vector<std::string> ScanPageTexts(const std::vector<double> &centers);

// What the scan prints on standard output: "PAGE CENTER" a line, pages
// from 0, the center as "%lf" prints it.
std::string ScanLines(const std::vector<double> &centers);

// Reads detector row `row` (its `read_views` views) once and writes page p
// of the volume: the row reconstructed by filtered back-projection about
// centers[p] (folded about it first when `fold` is active), `size` pixels
// a side. Fails with "memory allocation error.", "result out of range."
// or the readers' and writers' messages.
Status ScanCenters(const StackInputs &in, const Reading &how, const ViewSet &views, int read_views, Fold *fold,
                   const std::vector<double> &centers, int row, Kernel kernel, int size, Volume *volume,
                   ReadCounts *counts);
