// ax_expand: a one-sided profile expanded into a full sinogram, the profile
// mirrored about the axis and repeated for every view.
#include "error.h"
#include "expand.h"
#include "memory.h"
#include "profile.h"
#include "sinogram.h"
#include "streams.h"

int main(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 3 && argc != 4) Error("usage : ax_expand projection {views} sinogram");
    Profile profile = ReadProfile(argv[1], 1);
    int n = profile.count;
    int views = argc == 3 ? DefaultViewCountOrFail(n) : ViewsArgument(argv[2]);
    int columns = ExpandedColumns(n);
    double *row = static_cast<double *>(AllocateArray(columns, sizeof(double)));
    if (row == nullptr) Error("memory allocation error.");

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    if (WriteSinogramHeader(out, columns, views) < 0) Error("data write error.");
    MirrorProfile(profile.samples, n, row);
    WriteRepeatedRow(out, row, columns, views);
    FinishOutput(out, "data write error.");
    return 0;
}
