#include "graft.h"

#include <cmath>

#include "blocks.h"
#include "sink.h"

void SampleColumns(const SourceTable &table, const ViewPlacement &view, int first, int last,
                   double *columns) {
    // Everything the loop reads is copied into locals: stores to `columns`
    // could otherwise alias the table and force reloads every sample.
    const double n0 = table.columns;
    const double *a = table.row[view.row];
    const double *b = table.row[view.row + 1];
    const double fy = view.fy, s = view.s, base = view.base;
    // Positions first, in a loop of their own: the extended-precision
    // multiply-add then overlaps freely from one column to the next.
    for (int i = first; i < last; ++i) columns[i - first] = static_cast<Real>(i) * s + base;
    for (int i = first; i < last; ++i) {
        double position = columns[i - first];
        if (-1 < position && position < n0) {
            double fx;
            int k = DetectorCell(position, &fx);
            columns[i - first] = Bilinear(a + k, b + k, fx, fy);
        } else {
            columns[i - first] = 0;
        }
    }
}

int GraftChunk(const GraftGeometry &g) { return g.width < kGraftColumns ? g.width : kGraftColumns; }

Status WriteGraftViews(SampleSink *sink, const SourceTable &table, const GraftGeometry &g, FILE *sg1,
                       bool check_finite) {
    int chunk = GraftChunk(g);
    int copy_first = sg1 != nullptr ? g.pad : g.width;
    int copy_last = sg1 != nullptr ? g.end1 : g.width;

    for (int k = 0; k < g.in.m1; ++k) {
        ViewPlacement view = PlaceView(g, k);
        for (int first = 0; first < g.width; first += chunk) {
            int last = g.width - first < chunk ? g.width : first + chunk;
            double *columns = nullptr;
            Status room = SinkSpace(sink, static_cast<std::size_t>(last - first), &columns);
            if (!room.ok()) return room;
            // Sampled columns before SG1's, SG1's own, sampled columns after.
            int copy_begin = copy_first < first ? first : copy_first > last ? last : copy_first;
            int copy_end = copy_last > last ? last : copy_last < copy_begin ? copy_begin : copy_last;
            SampleColumns(table, view, first, copy_begin, columns);
            if (copy_end > copy_begin) {
                std::size_t want = static_cast<std::size_t>(copy_end - copy_begin);
                std::size_t got = std::fread(columns + (copy_begin - first), sizeof(double), want, sg1);
                if (got != want) {
                    // SG2 keeps everything before the missing sample.
                    SinkAdvance(sink, static_cast<std::size_t>(copy_begin - first) + got);
                    Status flushed = SinkFlush(sink);
                    if (!flushed.ok()) return flushed;
                    return Failure("SG1 data read error.");
                }
            }
            SampleColumns(table, view, copy_end, last, columns + (copy_end - first));
            if (check_finite) {
                for (int i = first; i < last; ++i)
                    if ((i < copy_begin || i >= copy_end) && !std::isfinite(columns[i - first]))
                        return Failure("result out of range.");
            }
            SinkAdvance(sink, static_cast<std::size_t>(last - first));
        }
    }
    return SinkFlush(sink);
}
