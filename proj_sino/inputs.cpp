#include "inputs.h"

#include "hdf5_stack.h"
#include "kind.h"

namespace {

Status OpenHdf5(const Options &options, Inputs *in) {
    const char *file = options.stack[0];
    if (options.stack.size() != 1) return Failure("one hdf5 file at a time.");
    if (!options.flats.empty() || !options.darks.empty()) return Failure(About(file, "flats and darks are in the file."));
    bool present = false;
    Status opened = Hdf5Images(file, kH5Data, &in->stack, &present);
    if (!opened.ok()) return opened;
    if (!present) return Failure(About(file, "no /exchange/data."));
    if (!options.line_integrals) {
        opened = Hdf5Images(file, kH5White, &in->flats, &in->have_flats);
        if (!opened.ok()) return opened;
        opened = Hdf5Images(file, kH5Dark, &in->darks, &in->have_darks);
        if (!opened.ok()) return opened;
        if (in->have_darks && !in->have_flats) return Failure("darks need flats.");
    }
    if (options.angles == nullptr) return Success();
    bool have_theta = false;
    return ReadH5Angles(file, in->stack.images, &in->theta, &have_theta);
}

Status OpenTiff(const Options &options, Inputs *in) {
    Status opened = TiffImages(options.stack, &in->stack);
    if (!opened.ok()) return opened;
    in->have_flats = !options.flats.empty();
    in->have_darks = !options.darks.empty();
    if (in->have_flats) opened = TiffImages(options.flats, &in->flats);
    if (opened.ok() && in->have_darks) opened = TiffImages(options.darks, &in->darks);
    return opened;
}

}  // namespace

Status OpenInputs(const Options &options, Inputs *in) {
    bool hdf5 = KindOfFile(options.stack[0]) == FileKind::kHdf5;
    Status opened = hdf5 ? OpenHdf5(options, in) : OpenTiff(options, in);
    if (!opened.ok()) return opened;
    const char *flat_name = options.flats.empty() ? options.stack[0] : options.flats[0];
    const char *dark_name = options.darks.empty() ? options.stack[0] : options.darks[0];
    if (in->have_flats && (in->flats.columns != in->stack.columns || in->flats.rows != in->stack.rows))
        return Failure(About(flat_name, "sizes differ."));
    if (in->have_darks && (in->darks.columns != in->stack.columns || in->darks.rows != in->stack.rows))
        return Failure(About(dark_name, "sizes differ."));
    return Success();
}

std::vector<double> ViewAngles(const Inputs &in, int views) {
    if (!in.theta.empty()) return std::vector<double>(in.theta.begin(), in.theta.begin() + views);
    std::vector<double> degrees(static_cast<std::size_t>(views));
    for (int k = 0; k < views; ++k) degrees[static_cast<std::size_t>(k)] = k * 180.0 / views;
    return degrees;
}
