#include "cli/ellipse_scan.h"

#include <cmath>
#include <cstdint>
#include <random>

#include <hdf5.h>
#include <tiffio.h>

#include "cli/tiff_stack.h"

namespace {

constexpr double kPiValue = 3.141592653589793;

// An ellipse of density `rho` centred at (x0, y0), semi-axes a and b, the
// a axis turned by phi (radians) from x; lengths in detector intervals as
// fractions of the half field.
struct Ellipse {
    double x0, y0, a, b, phi, rho;
};

// A body, two holes and three inclusions, placed off the axis; the
// densities change from row to row so that every slice differs.
std::vector<Ellipse> Phantom(const ScanShape &shape, int row) {
    double h = shape.columns / 2.0;
    double grow = 1 + 0.04 * row;
    return {
        {0.05 * h, -0.03 * h, 0.72 * h, 0.55 * h, 0.3, 0.010},
        {-0.25 * h, 0.10 * h, 0.18 * h, 0.10 * h, -0.5, -0.006},
        {0.30 * h, -0.15 * h, 0.12 * h, 0.20 * h, 0.2, -0.004},
        {0.10 * h, 0.30 * h, 0.06 * h, 0.06 * h, 0, 0.012 * grow},
        {-0.10 * h, -0.30 * h, 0.09 * h, 0.04 * h, 1.0, 0.008 * grow},
        {0.35 * h, 0.20 * h, 0.03 * h, 0.03 * h, 0, 0.020},
    };
}

double Chord(const Ellipse &e, double theta, double t) {
    double u = t - (e.x0 * std::cos(theta) + e.y0 * std::sin(theta));
    double alpha = theta - e.phi;
    double r2 = e.a * e.a * std::cos(alpha) * std::cos(alpha) + e.b * e.b * std::sin(alpha) * std::sin(alpha);
    if (u * u >= r2) return 0;
    return 2 * e.a * e.b / r2 * std::sqrt(r2 - u * u);
}

// Sub-positions per detector: a detector measures over its width.
constexpr int kSub = 4;

}  // namespace

double PhantomLine(const ScanShape &shape, int row, double theta, double t) {
    double sum = 0;
    for (const Ellipse &e : Phantom(shape, row)) sum += e.rho * Chord(e, theta, t);
    return sum;
}

double PhantomDensity(const ScanShape &shape, int row, double x, double y) {
    double sum = 0;
    for (const Ellipse &e : Phantom(shape, row)) {
        double dx = x - e.x0, dy = y - e.y0;
        double u = dx * std::cos(e.phi) + dy * std::sin(e.phi), v = -dx * std::sin(e.phi) + dy * std::cos(e.phi);
        if (u * u / (e.a * e.a) + v * v / (e.b * e.b) < 1) sum += e.rho;
    }
    return sum;
}

Scan MakeScan(const ScanShape &shape) {
    Scan scan;
    scan.shape = shape;
    scan.axis = (shape.columns - 1) / 2.0 + shape.axis_offset;
    std::mt19937 random(shape.seed);
    auto counts = [&](double mean) {
        double value = mean;
        if (shape.noise) value = static_cast<double>(std::poisson_distribution<long>(mean)(random));
        return std::fmin(std::round(value), 65535.0);
    };
    std::size_t pixels = static_cast<std::size_t>(shape.columns) * shape.rows;
    double turn = shape.full_turn ? 360.0 : 180.0;
    for (int v = 0; v < shape.views; ++v) {
        double degrees = v * turn / shape.views;
        scan.theta.push_back(degrees);
        double theta = degrees * kPiValue / 180;
        Image page(pixels);
        for (int r = 0; r < shape.rows; ++r)
            for (int c = 0; c < shape.columns; ++c) {
                double p = 0;
                for (int s = 0; s < kSub; ++s) p += PhantomLine(shape, r, theta, c - (scan.axis + shape.tilt * r) + (s + 0.5) / kSub - 0.5);
                p /= kSub;
                page[static_cast<std::size_t>(r) * shape.columns + c] = counts(shape.i0 * std::exp(-p) + shape.dark);
            }
        scan.projections.push_back(page);
    }
    for (int f = 0; f < shape.flats; ++f) {
        Image page(pixels);
        for (double &x : page) x = counts(shape.i0 + shape.dark);
        scan.flats.push_back(page);
    }
    for (int d = 0; d < shape.darks; ++d) {
        Image page(pixels);
        for (double &x : page) x = counts(shape.dark);
        scan.darks.push_back(page);
    }
    return scan;
}

bool WriteScanTiff(const Scan &scan, const std::string &dir) {
    int c = scan.shape.columns, r = scan.shape.rows;
    return WriteTiff(dir + "/scan.tif", scan.projections, c, r, SampleKind::kU16, TiffLayout{4}) &&
           WriteTiff(dir + "/flat.tif", scan.flats, c, r, SampleKind::kU16) &&
           WriteTiff(dir + "/dark.tif", scan.darks, c, r, SampleKind::kU16);
}

namespace {

bool WriteImages(hid_t file, const char *path, const std::vector<Image> &images, int rows, int columns) {
    hsize_t extent[3] = {images.size(), static_cast<hsize_t>(rows), static_cast<hsize_t>(columns)};
    std::vector<std::uint16_t> values;
    for (const Image &image : images)
        for (double x : image) values.push_back(static_cast<std::uint16_t>(x));
    hid_t space = H5Screate_simple(3, extent, nullptr);
    hid_t set = H5Dcreate2(file, path, H5T_STD_U16LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    bool ok = set >= 0 && H5Dwrite(set, H5T_NATIVE_UINT16, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) >= 0;
    if (set >= 0) H5Dclose(set);
    H5Sclose(space);
    return ok;
}

}  // namespace

bool WriteScanHdf5(const Scan &scan, const std::string &path, bool theta) {
    hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file < 0) return false;
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    int r = scan.shape.rows, c = scan.shape.columns;
    bool ok = group >= 0 && WriteImages(file, "/exchange/data", scan.projections, r, c) &&
              WriteImages(file, "/exchange/data_white", scan.flats, r, c) &&
              WriteImages(file, "/exchange/data_dark", scan.darks, r, c);
    if (ok && theta) {
        hsize_t n = scan.theta.size();
        hid_t space = H5Screate_simple(1, &n, nullptr);
        hid_t set = H5Dcreate2(file, "/exchange/theta", H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        ok = set >= 0 && H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, scan.theta.data()) >= 0;
        if (set >= 0) H5Dclose(set);
        H5Sclose(space);
    }
    if (group >= 0) H5Gclose(group);
    return H5Fclose(file) >= 0 && ok;
}

std::vector<std::vector<float>> TiffPages(const std::string &path, std::vector<std::string> *descriptions) {
    std::vector<std::vector<float>> pages;
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return pages;
    do {
        std::uint32_t width = 0, length = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
        std::vector<float> page(static_cast<std::size_t>(width) * length);
        for (std::uint32_t r = 0; r < length; ++r) TIFFReadScanline(tif, &page[static_cast<std::size_t>(r) * width], r);
        pages.push_back(page);
        char *text = nullptr;
        if (descriptions != nullptr)
            descriptions->push_back(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) && text != nullptr ? text : "");
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return pages;
}

std::vector<double> H5Values(const std::string &path, const char *dataset) {
    std::vector<double> values;
    hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    if (file < 0) return values;
    hid_t set = H5Dopen2(file, dataset, H5P_DEFAULT);
    hid_t space = H5Dget_space(set);
    values.resize(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
    H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data());
    H5Sclose(space);
    H5Dclose(set);
    H5Fclose(file);
    return values;
}

std::string VolumeSamples(const std::string &path) {
    std::string bytes;
    if (path.size() > 3 && path.compare(path.size() - 3, 3, ".h5") == 0) {
        std::vector<double> values = H5Values(path, "/exchange/data");
        return std::string(reinterpret_cast<const char *>(values.data()), values.size() * sizeof(double));
    }
    for (const std::vector<float> &page : TiffPages(path))
        bytes.append(reinterpret_cast<const char *>(page.data()), page.size() * sizeof(float));
    return bytes;
}
