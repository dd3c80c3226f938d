// The output of a program that streams a sinogram through (sino_scale,
// sino_noise): samples go out as the input's are read.
#pragma once

#include <cstdio>
#include <string>

#include "output.h"
#include "sink.h"
#include "status.h"

// Opens SG2 (`name`) for samples streamed from `in`: standard output opened
// on `in`'s file is refused ("SG2: file not open.", since the input would be
// overwritten while read; a named SG2 goes to a new file and may be SG),
// then the output is opened, `sink` attached to it and the header of
// columns x rows written. `write_failure` is the message a failed write
// gives; it must outlive the output.
Status OpenFilterOutput(FILE *in, const char *name, int columns, int rows, const std::string &write_failure,
                        SampleSink *sink, Output *out);
