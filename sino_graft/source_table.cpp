#include "source_table.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "blocks.h"
#include "memory.h"
#include "sinogram.h"
#include "streams.h"

Status LoadSourceTableFrom(FILE *in, SourceTable *loaded) {
    SourceTable &table = *loaded;
    table = SourceTable{};
    Status header = ReadCheckedHeader(in, "SG0 ", &table.columns, &table.rows);
    if (!header.ok()) return header;
    std::size_t rows = static_cast<std::size_t>(table.rows) + 1;
    std::size_t width = static_cast<std::size_t>(table.columns) + 2;
    // (M0 + 1)(N0 + 2) doubles can exceed what a size_t counts in bytes.
    if (width > SIZE_MAX / sizeof(double) / rows) return Failure("SG0 memory allocation error.");
    table.row = static_cast<double **>(AllocateArray(rows, sizeof(double *)));
    table.block_bytes = sizeof(double) * rows * width;
    // Reserved, not filled: pages come into use piece by piece just ahead of
    // the rows read into them, so a header that promises more rows than the
    // file holds costs no more memory than the file supplies.
    table.block = table.row == nullptr ? nullptr : static_cast<double *>(ReserveBlock(table.block_bytes));
    if (table.block == nullptr) return Failure("SG0 memory allocation error.");

    std::size_t n0 = static_cast<std::size_t>(table.columns);
    std::size_t touched = 0;  // cells whose pages are in place
    for (int r = 0; r <= table.rows; ++r) {
        std::size_t start = 1 + static_cast<std::size_t>(r) * width;
        if (start + width > touched) {
            std::size_t piece = width > kReadPieceSamples ? width : kReadPieceSamples;
            std::size_t cells = rows * width;
            std::size_t end = start - 1 + piece < cells ? start - 1 + piece : cells;
            TouchBlock(table.block + touched, (end - touched) * sizeof(double));
            touched = end;
        }
        double *row = table.block + start;
        table.row[r] = row;
        row[table.columns] = 0;
        row[-1] = 0;
        if (r < table.rows && std::fread(row, sizeof(double), n0, in) != n0) return Failure("SG0 data read error.");
    }
    return Success();
}

Status LoadSourceTable(const char *name, SourceTable *table) {
    *table = SourceTable{};
    FILE *in = nullptr;
    Status opened = OpenInput(name, "rb", "SG0 file not found.", &in);
    if (!opened.ok()) return opened;
    Status loaded = LoadSourceTableFrom(in, table);
    CloseInput(in);
    return loaded;
}

bool SamplesMayOverflow(const SourceTable &table) {
    bool large = false;
    for (int r = 0; r < table.rows; ++r) {
        for (int i = 0; i < table.columns; ++i) {
            double x = table.row[r][i];
            if (!std::isfinite(x)) return false;
            if (std::fabs(x) > DBL_MAX / 16) large = true;
        }
    }
    return large;
}

void MirrorClosingRow(const SourceTable &table, double c0) {
    const double *first = table.row[0];
    double *closing = table.row[table.rows];
    double twice = 2 * c0;
    for (int i = 0; i < table.columns; ++i) {
        double x = static_cast<Real>(twice) - i;
        if (x <= -1 || x >= table.columns) {
            closing[i] = 0;
        } else {
            double f;
            int k = DetectorCell(x, &f);
            closing[i] = f * static_cast<Real>(first[k + 1]) + (1 - static_cast<Real>(f)) * first[k];
        }
    }
}

void ReleaseSourceTable(SourceTable &table) {
    ReleaseBlock(table.block, table.block_bytes);
    ReleaseArray(table.row);
    table = SourceTable{};
}
