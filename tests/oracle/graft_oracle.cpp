#include "graft_oracle.h"

#include <cmath>
#include <cstdlib>

#include "real.h"

bool GraftOracle(const SourceTable &table, const GraftArguments &a, FILE *sg1, FILE *out, double *c2_out) {
    const double pi = 3.141592653589793, two_pi = 6.283185307179586;
    int n0 = table.columns, m0 = table.rows;
    double theta0 = (std::fmod(a.ot, 360.0) + static_cast<Real>(360)) * pi / 180;
    double h1 = a.n1 * static_cast<Real>(0.5) - 0.5;
    double h0 = static_cast<Real>(n0) * a.ratio * 0.5 - 0.5;
    double px = (static_cast<Real>(a.dx) + h1) -
                (static_cast<Real>(std::cos(theta0)) - std::sin(theta0)) * h0;
    double py = (static_cast<Real>(a.dy) + h1) -
                (static_cast<Real>(std::sin(theta0)) + std::cos(theta0)) * h0;
    double dphi = static_cast<Real>(pi) / a.m1;

    double emin = 0, emax = 0;
    for (int k = 0; k < a.m1; ++k) {
        double angle = static_cast<Real>(k) * dphi;
        double e = static_cast<Real>(std::cos(angle)) * px - static_cast<Real>(std::sin(angle)) * py;
        if (k == 0) {
            emin = e;
            emax = e;
        } else if (e < emin) {
            emin = e;
        } else if (e > emax) {
            emax = e;
        }
    }
    double before = static_cast<Real>(a.ratio) * a.c0 + emax - a.c1;
    int pad = before < 0 ? 0 : static_cast<int>(std::ceil(before));
    double c2 = static_cast<Real>(pad) + a.c1;
    int end1 = pad + a.n1;
    double after = (static_cast<Real>(n0 - 1) - a.c0) * a.ratio + c2 - emin;
    int w = static_cast<int>(std::ceil(after)) + 1;
    if (end1 > w) w = end1;
    *c2_out = c2;

    std::fprintf(out, "%d\t%d\n", w, a.m1);
    for (int k = 0; k < a.m1; ++k) {
        double phi = static_cast<Real>(k) * dphi;
        double m = static_cast<Real>(std::cos(phi)) * px - static_cast<Real>(std::sin(phi)) * py - c2;
        double angle = std::fmod(static_cast<Real>(phi) + theta0, static_cast<Real>(two_pi));
        Real p = static_cast<Real>(angle) * m0 / pi;
        double s;
        if (m0 > p) {
            s = 1 / static_cast<Real>(a.ratio);
        } else {
            p = p - m0;
            s = -1 / static_cast<Real>(a.ratio);
        }
        int r = static_cast<int>(p);
        double fy = p - r;
        if (r == m0) {
            r = m0 - 1;
            fy = 1;
        }
        double base = static_cast<Real>(s) * m + a.c0;
        for (int i = 0; i < w; ++i) {
            double value;
            if (sg1 != nullptr && pad <= i && i < end1) {
                if (std::fread(&value, sizeof value, 1, sg1) != 1) return false;
            } else {
                double position = static_cast<Real>(i) * s + base;
                value = -1 < position && position < n0 ? SampleSource(table, r, fy, position) : 0.0;
            }
            std::fwrite(&value, sizeof value, 1, out);
        }
    }
    return true;
}

SourceTable LoadTableStraightforward(FILE *in) {
    SourceTable table{};
    if (std::fscanf(in, "%d %d", &table.columns, &table.rows) != 2) return table;
    while (std::fgetc(in) != '\n') {
    }
    std::size_t width = static_cast<std::size_t>(table.columns) + 2;
    table.row = static_cast<double **>(std::malloc(sizeof(double *) * (table.rows + 1)));
    table.block = static_cast<double *>(std::malloc(sizeof(double) * width * (table.rows + 1)));
    for (int r = 0; r <= table.rows; ++r) {
        table.row[r] = table.block + 1 + r * width;
        table.row[r][-1] = 0;
        table.row[r][table.columns] = 0;
        if (r < table.rows) std::fread(table.row[r], sizeof(double), table.columns, in);
    }
    return table;
}

void ReleaseTableStraightforward(SourceTable &table) {
    std::free(table.block);
    std::free(table.row);
    table = SourceTable{};
}
