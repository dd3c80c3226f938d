// Parts of one stack reconstructed by separate jobs (-r, HDF5 volumes)
// joined into one volume: their slices in order, with the centers and
// angles they carry.
#pragma once

#include <vector>

#include "status.h"
#include "volume.h"

// Joins the parts, given in row order, into the volume. Every part must
// have the slice size, angles and pixel size of the first and start at the
// row after the previous part's last: "<part>: parts do not fit together."
// otherwise (a part missing, doubled or of another scan). Fails also with
// the readers' and writers' messages.
Status JoinParts(const std::vector<const char *> &parts, const char *name, VolumeKind kind,
                 const NamePattern &pattern, Volume *volume, int *slices, int *size);
