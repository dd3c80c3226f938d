#include "outputs.h"

#include <charconv>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include "sinogram.h"
#include "streams.h"

namespace {

bool IsInput(const Outputs &outputs, const char *name) {
    struct stat s;
    return stat(name, &s) == 0 && outputs.inputs.count({s.st_dev, s.st_ino}) != 0;
}

// Opens a named output through its temporary file, writes it with `write`
// and closes it; it waits in outputs->files to be renamed.
template <typename Write>
Status WriteNamed(Outputs *outputs, const std::string &name, Write &&write) {
    if (IsInput(*outputs, name.c_str())) return Failure(About(name, "output is an input."));
    std::string write_failure = About(name, "data write error.");
    Output out;
    Status written = OpenOutput(name.c_str(), About(name, "file not open.").c_str(), &out);
    if (!written.ok()) return written;
    outputs->files.push_back(out);
    Output &file = outputs->files.back();
    bool writes_stdout = outputs->to_stdout || outputs->angles_to_stdout;
    if (!NoteOutputName(file, &outputs->names) || (writes_stdout && ReplacesStandardOutput(file)))
        return Failure(About(name, "two outputs name this file."));
    written = write(file.stream, write_failure.c_str());
    if (written.ok()) written = CloseOutput(&file, write_failure.c_str());
    return written;
}

}  // namespace

Status PrepareOutputs(const Options &options, Outputs *outputs) {
    outputs->to_stdout = IsStandardStream(options.pattern);
    if (!outputs->to_stdout) ParsePattern(options.pattern, &outputs->pattern);
    for (const auto *list : {&options.stack, &options.flats, &options.darks}) {
        for (const char *name : *list) {
            struct stat s;
            if (stat(name, &s) == 0) outputs->inputs.insert({s.st_dev, s.st_ino});
        }
    }
    // Standard output may be an input opened for writing too ("- 1<>stack.tif",
    // ">>flat.tif"): the later bands would read what the earlier ones wrote.
    struct stat standard_output;
    bool writes_stdout = outputs->to_stdout || (options.angles != nullptr && IsStandardStream(options.angles));
    if (writes_stdout && fstat(STDOUT_FILENO, &standard_output) == 0 && S_ISREG(standard_output.st_mode) &&
        outputs->inputs.count({standard_output.st_dev, standard_output.st_ino}) != 0)
        return Failure("output is an input.");
    return Success();
}

Status WriteSinogram(Outputs *outputs, int row, const double *samples, int columns, int views) {
    std::size_t bytes = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns) * sizeof(double);
    auto write = [&](FILE *out, const char *failure) {
        Status written = WriteCheckedHeader(out, columns, views, failure);
        if (written.ok()) written = WriteBlock(out, samples, bytes, failure);
        return written;
    };
    if (outputs->to_stdout) return write(stdout, "data write error.");
    return WriteNamed(outputs, PatternName(outputs->pattern, row), write);
}

Status WriteAngles(Outputs *outputs, const char *name, const std::vector<double> &degrees) {
    std::string text;
    for (double angle : degrees) {
        // The shortest decimal that reads back as the same double.
        char number[32];
        auto end = std::to_chars(number, number + sizeof number, angle).ptr;
        text.append(number, end);
        text += '\n';
    }
    if (IsStandardStream(name)) {
        outputs->angles_text = text;
        outputs->angles_to_stdout = true;
        return Success();
    }
    return WriteNamed(outputs, name, [&](FILE *out, const char *failure) {
        return WriteBlock(out, text.data(), text.size(), failure);
    });
}

Status CommitOutputs(Outputs *outputs) {
    if (outputs->angles_to_stdout) {
        Status written = WriteBlock(stdout, outputs->angles_text.data(), outputs->angles_text.size(),
                                    "data write error.");
        if (!written.ok()) return written;
    }
    if (outputs->to_stdout || outputs->angles_to_stdout) {
        Status flushed = FlushStandardOutput("data write error.");
        if (!flushed.ok()) return flushed;
    }
    return CommitOutputSet(outputs->files.data(), outputs->files.size(), "file not open.");
}
