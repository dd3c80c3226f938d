// Parts of one stack reconstructed by separate jobs (-r, HDF5 volumes)
// joined into one volume: their slices in order, with the centers and
// angles they carry, and a record that joins theirs.
#pragma once

#include <string>
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
// messages. *warning is MissingRowsWarning's line for the parts (the
// stack's rows known from the first part's record), or empty.
Status JoinParts(const std::vector<const char *> &parts, const char *name, VolumeKind kind,
                 const NamePattern &pattern, Record record, Volume *volume, int *slices, int *size,
                 std::string *warning);

// Rows of the stack that no part holds, when the parts hold rows
// [first_row, end_row) of a stack of `stack_rows` (-1: not known, as for a
// part written before volumes recorded their runs): "warning: rows 0 to 9
// and 990 to 999 of the stack are in no part; the volume holds rows 10 to
// 989." ("row 999 of the stack is" for one), or an empty string when none is missing. Parts
// that leave rows out at the ends join, since a run of -r over only some
// rows may be meant; rows between parts are refused (JoinParts).
std::string MissingRowsWarning(long long first_row, long long end_row, long long stack_rows);
