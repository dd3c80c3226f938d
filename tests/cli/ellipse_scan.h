// A beamline-style scan made from ellipses, for the tests of stack_recon
// and the guide's beamline recipe: projections of detector counts
// I = I0 exp(-p) + D with Poisson noise, flat and dark images, written as
// a 16-bit multi-page TIFF with flat and dark files, or as one Data
// Exchange HDF5 file. The phantom's line integrals p are exact chords
// through ellipses, averaged over each detector's width.
#pragma once

#include <string>
#include <vector>

struct ScanShape {
    int columns = 256, rows = 8, views = 360;
    double axis_offset = 3.4;  // the axis, detector intervals right of the middle
    double i0 = 20000, dark = 100;
    int flats = 4, darks = 2;
    bool noise = true;
    unsigned seed = 1;
    bool full_turn = false;  // views over 360 degrees instead of 180
    double tilt = 0;         // the axis moves this many detector intervals per row
};

using Image = std::vector<double>;  // rows x columns, row 0 first

struct Scan {
    ScanShape shape;
    double axis;  // detector column of the rotation axis in row 0 (plus tilt x row in row r)
    std::vector<Image> projections, flats, darks;
    std::vector<double> theta;  // degrees, one per view
};

Scan MakeScan(const ScanShape &shape);

// The phantom's line integral in detector row `row` along the line at
// detector position t (intervals from the axis) of the view at theta
// (radians), in the toolkit's geometry: the point (x, y) projects to
// t = x cos(theta) + y sin(theta).
double PhantomLine(const ScanShape &shape, int row, double theta, double t);

// The phantom's density at (x, y) in detector row `row` (y up, detector
// intervals from the axis): what a slice reconstructs to.
double PhantomDensity(const ScanShape &shape, int row, double x, double y);

// Writes <dir>/scan.tif (16-bit pages), <dir>/flat.tif and <dir>/dark.tif.
bool WriteScanTiff(const Scan &scan, const std::string &dir);

// Writes a Data Exchange file: /exchange/data (views x rows x columns,
// 16-bit), data_white, data_dark and theta (degrees) unless `theta` is
// false.
bool WriteScanHdf5(const Scan &scan, const std::string &path, bool theta = true);

// Reading volumes back: the pages of a float TIFF volume (and each page's
// description, "" for none, when asked for); a dataset of an
// HDF5 file as doubles; a volume's samples without its record (which holds
// the command line that wrote it): a TIFF's pages, an HDF5 file's
// /exchange/data, as bytes to compare.
std::vector<std::vector<float>> TiffPages(const std::string &path, std::vector<std::string> *descriptions = nullptr);
std::vector<double> H5Values(const std::string &path, const char *dataset);
std::string VolumeSamples(const std::string &path);
