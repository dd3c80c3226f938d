// Parts of one stack reconstructed by separate jobs (-r, HDF5 volumes)
// joined into one volume: their slices in order, with the centers and
// angles they carry, and a record that joins theirs.
#pragma once

#include <vector>

#include "status.h"
#include "volume.h"

// Joins the parts, given in row order, into the volume. Every part must
// have the slice size, angles and pixel size of the first and start at the
// row after the previous part's last: "<part>: parts do not fit together."
// otherwise (a part missing, doubled or of another scan). Parts that
// record their runs must record the same run but for the rows: "<part>:
// written with other options than <first part> (<what differs>)." (see
// RecordsDiffer), rows within the stack's: "<part>: rows beyond the
// stack's <N>.", counts that add up within 64 bits: "<part>: counts do not
// fit." The volume's record is `record` (the join's own command line)
// with the parts' values: the first part's options, stack, kernel,
// method, center, type and value range, every part's centers, the counts
// added, the parts' names. Fails also with the readers' and writers'
// messages.
Status JoinParts(const std::vector<const char *> &parts, const char *name, VolumeKind kind,
                 const NamePattern &pattern, Record record, Volume *volume, int *slices, int *size);
