#include "filter_output.h"

#include "sinogram.h"
#include "streams.h"

Status OpenFilterOutput(FILE *in, const char *name, int columns, int rows, const std::string &write_failure,
                        SampleSink *sink, Output *out) {
    std::string output = NamePrefix(name, "");
    if (WritesInto(in, name)) return FailureAbout(output, "file not open.");
    Status opened = OpenOutput(name, (output + "file not open.").c_str(), out);
    if (!opened.ok()) return opened;
    AttachSink(sink, out->stream, write_failure.c_str());
    return WriteCheckedHeader(out->stream, columns, rows, write_failure.c_str());
}
