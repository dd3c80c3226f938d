// Writes the ellipse scan of the beamline recipe (doc/guide/volumes.md)
// into a folder: scan.tif, flat.tif and dark.tif (16-bit TIFF) and scan.h5
// (Data Exchange), and the truth of each row's slice as truth_<row>.img
// (sinogram layout).
//   ct_make_scan FOLDER
#include <cstdio>
#include <string>

#include "cli/ellipse_scan.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage : ct_make_scan FOLDER\n");
        return 1;
    }
    std::string dir = argv[1];
    Scan scan = MakeScan(ScanShape{});
    if (!WriteScanTiff(scan, dir) || !WriteScanHdf5(scan, dir + "/scan.h5")) {
        std::fprintf(stderr, "%s: data write error.\n", dir.c_str());
        return 1;
    }
    int k = scan.shape.columns;
    for (int row = 0; row < scan.shape.rows; ++row) {
        std::vector<double> truth(static_cast<std::size_t>(k) * k);
        for (int r = 0; r < k; ++r)
            for (int j = 0; j < k; ++j)
                truth[static_cast<std::size_t>(r) * k + j] = PhantomDensity(scan.shape, row, j - (k - 1) / 2.0, (k - 1) / 2.0 - r);
        std::string name = dir + "/truth_" + std::to_string(row) + ".img";
        FILE *out = std::fopen(name.c_str(), "wb");
        if (out == nullptr || std::fprintf(out, "%d\t%d\n", k, k) < 0 ||
            std::fwrite(truth.data(), sizeof(double), truth.size(), out) != truth.size() || std::fclose(out) != 0) {
            std::fprintf(stderr, "%s: data write error.\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
