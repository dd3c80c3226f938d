// A family of striped sinograms for judging stripe removal: ellipse phantoms
// (centred on the rotation axis, off it, the Shepp-Logan head, scattered
// grains) sampled by their closed-form line integrals, each with stripes of
// one kind added, and the measures the figures are stated in.
//
// A case is drawn from its kind, its sizes and a seed: the ellipses' places
// and sizes, the stripes' columns and strengths all move with the seed, so
// that a method is judged on cases it was not tuned on.
#pragma once

#include <string>
#include <vector>

// kDisk is a disk centred on the axis (a sample in a capillary): its edge
// lies at one column in every view, as a stripe does. kTube is the
// capillary itself: a wall on the axis with a body inside.
enum class RingObject { kCentred, kOffAxis, kHead, kGrains, kDisk, kTube };

enum class RingStripes {
    kWeakOffsets,    // 8 offsets of 0.1 to 0.5 % of the level
    kStrongOffsets,  // 8 offsets of 1 to 10 %
    kWeakGains,      // 6 gains of 0.1 to 0.5 %
    kStrongGains,    // 6 gains of 1 to 10 %
    kClusters,       // two clusters of 3 or 4 stripes within 5 columns
    kEdge,           // stripes at and next to the large object's edge
    kPartial,        // offsets in part of the views, and drifts
    kDead,           // dead (zero) and saturated (constant) columns
    kMixed,          // offsets and gains of every size, a cluster, an edge
};

struct RingCaseShape {
    RingObject object;
    RingStripes stripes;
    int columns;
    int rows;
    unsigned seed;
    double noise;  // standard deviation of added noise, fraction of the level (0: none)
};

struct RingCase {
    std::string name;
    int columns = 0, rows = 0;
    std::vector<double> clean;    // rows x columns, the noise included
    std::vector<double> striped;  // the same with the stripes
    std::vector<double> truth;    // columns x columns: the phantom's mean over each pixel
};

// Makes a case; the axis lies at (columns - 1) / 2, views evenly over the
// half turn. The level is the largest clean sample.
RingCase MakeRingCase(const RingCaseShape &shape);

std::string RingCaseName(const RingCaseShape &shape);

// The reconstruction (FBP, shepp kernel, the axis grid) of a sinogram of
// the case's size; the RMS of an image over the pixels inside the field of
// view.
std::vector<double> RingReconstruct(const std::vector<double> &samples, int columns, int rows);
double FieldRms(const std::vector<double> &image, int columns);

// The measures: the ring error left by a cleaned sinogram, over the
// striped one's (RMS of the reconstructed differences from the clean
// sinogram); and the change a method makes to the clean sinogram's
// reconstruction, over that reconstruction's own error against the truth.
struct RingMeasure {
    double striped_error;  // RMS of the striped reconstruction less the clean one
    double ring_ratio;
    double clean_error;    // RMS of the clean reconstruction less the truth
    double clean_ratio;
};

// `cleaned` is the case's striped sinogram after a method, `clean_cleaned`
// its clean sinogram after the same method (either may be empty: its ratio
// is then not formed).
RingMeasure MeasureRingCase(const RingCase &c, const std::vector<double> &cleaned,
                            const std::vector<double> &clean_cleaned);
