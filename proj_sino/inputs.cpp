#include "inputs.h"

#include <cstdio>

#include "hdf5_stack.h"
#include "kind.h"

Status OpenInputs(const Options &options, Inputs *in) {
    Status opened = OpenStackInputs(options.stack, options.flats, options.darks, options.line_integrals, in);
    if (!opened.ok() || options.angles == nullptr || KindOfFile(options.stack[0]) != FileKind::kHdf5) return opened;
    bool have_theta = false;
    Status read = ReadH5Angles(options.stack[0], in->stack.images, &in->theta, &have_theta);
    // The angles written are degrees, whatever the file holds.
    if (read.ok() && have_theta && ThetaInRadians(options.stack[0], in->theta, options.unit, stderr))
        for (double &angle : in->theta) angle = angle * 180 / 3.14159265358979323846;
    return read;
}

std::vector<double> ViewAngles(const Inputs &in, int views) {
    if (!in.theta.empty()) return std::vector<double>(in.theta.begin(), in.theta.begin() + views);
    std::vector<double> degrees(static_cast<std::size_t>(views));
    for (int k = 0; k < views; ++k) degrees[static_cast<std::size_t>(k)] = k * 180.0 / views;
    return degrees;
}
