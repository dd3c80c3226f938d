#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef CT_BIN_DIR
#error "CT_BIN_DIR must name the folder of the built programs"
#endif
#ifndef CT_SOURCE_DIR
#error "CT_SOURCE_DIR must name the source tree"
#endif

Scratch::Scratch() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/ct_test_XXXXXX";
    std::string buffer = pattern;
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = buffer;
}

Scratch::~Scratch() {
    std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
}

std::string Scratch::Path(const std::string &name) const { return dir + "/" + name; }

void Scratch::Write(const std::string &name, const std::string &bytes) const {
    std::ofstream file(Path(name), std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Scratch::Read(const std::string &name) const {
    std::ifstream file(Path(name), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Scratch::Exists(const std::string &name) const {
    struct stat info;
    return stat(Path(name).c_str(), &info) == 0;
}

RunResult Scratch::Run(const std::string &command, const std::string &input) const {
    Write(".stdin", input);
    std::string line = "cd '" + dir + "' && BIN='" CT_BIN_DIR "' && export BIN && { " + command +
                       "\n} < .stdin > .stdout 2> .stderr";
    int raw = std::system(line.c_str());
    RunResult result;
    if (WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    } else {
        result.status = 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    }
    result.out = Read(".stdout");
    result.err = Read(".stderr");
    return result;
}

std::string DoublesBytes(const double *values, long count) {
    return std::string(reinterpret_cast<const char *>(values), sizeof(double) * count);
}

std::string MisgivenScansCommand(int radius, int detectors, double axis, double off) {
    const std::string head = " shepp-logan:" + std::to_string(radius) + " " + std::to_string(detectors) + " ";
    auto word = [](double x) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", x);
        return std::string(text);
    };
    const std::string at = word(axis), aside = word(off);
    const std::string noisy = " && \"$BIN/sino_scale\" p.sg 0.05 q.sg && \"$BIN/sino_noise\" q.sg 1e4 1 ";
    return "seq 0 359 > whole.txt && seq 0 180 > closed.txt && \"$BIN/phantom_sino\" -a whole.txt" + head + at +
           " 360 whole.sg && \"$BIN/phantom_sino\" -a whole.txt" + head + aside + " 360 p.sg" + noisy +
           "whole_noisy.sg && \"$BIN/phantom_sino\"" + head + aside + " 180 p.sg" + noisy +
           "half_noisy.sg && \"$BIN/phantom_sino\"" + head + at + " 180 half.sg && \"$BIN/phantom_sino\" -a closed.txt" +
           head + at + " 181 closed.sg && \"$BIN/phantom_sino\"" + head + at + " 1 one.sg";
}

std::string SinogramBytes(int columns, int rows, const double *samples) {
    return std::to_string(columns) + "\t" + std::to_string(rows) + "\n" +
           DoublesBytes(samples, static_cast<long>(columns) * rows);
}

std::string AfterHeader(const std::string &bytes) {
    std::size_t end = bytes.find('\n');
    return end == std::string::npos ? std::string() : bytes.substr(end + 1);
}

std::vector<double> SamplesAfterHeader(const std::string &bytes) {
    std::string body = AfterHeader(bytes);
    std::vector<double> values(body.size() / sizeof(double));
    std::memcpy(values.data(), body.data(), values.size() * sizeof(double));
    return values;
}

std::vector<double> Ramp(int count, double step, int period, double start) {
    std::vector<double> values(count);
    for (int i = 0; i < count; ++i) values[i] = start + step * (i % period);
    return values;
}

std::string RunEntry(int (*entry)(int, char **), const std::vector<std::string> &args) {
    Scratch scratch;
    std::vector<std::string> copies = args;
    copies.back() = scratch.Path("out");
    std::vector<char *> argv;
    for (std::string &a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(entry(static_cast<int>(copies.size()), argv.data()), 0);
    return scratch.Read("out");
}

void ExpectFailure(const char *program, const FailureCase &c) {
    for (const std::string &args : c.args.lines) {
        Scratch scratch;
        scratch.Write("in.txt", c.input);
        RunResult r = scratch.Run(std::string("\"$BIN/") + program + "\" " + args);
        EXPECT_EQ(r.status, 1) << program << " " << args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << program << " " << args;
        EXPECT_EQ(r.out, "") << program << " " << args;
        EXPECT_EQ(scratch.Exists("out.txt"), c.output_exists) << program << " " << args;
    }
}

std::string ContentsAndClose(FILE *stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string bytes;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) bytes.append(buffer, got);
    std::fclose(stream);
    return bytes;
}

FILE *StreamOf(const std::string &bytes) {
    FILE *stream = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::rewind(stream);
    return stream;
}

std::string DocRecipe(const std::string &path_from_source_dir, const std::string &heading) {
    std::ifstream file(std::string(CT_SOURCE_DIR) + "/" + path_from_source_dir);
    std::string line, recipe;
    bool found = false, inside = false;
    while (std::getline(file, line)) {
        if (!found) {
            found = line == heading;
        } else if (!inside) {
            inside = line == "```sh";
        } else if (line == "```") {
            return recipe;
        } else {
            recipe += line + "\n";
        }
    }
    return "";  // no block, or one never closed
}

double StatValue(const std::string &line, const std::string &name) {
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        if (word == name && words >> word) return std::stod(word);
    }
    ADD_FAILURE() << name << " not in " << line;
    return 0;
}

void ExpectSameBytesForThreads(const Scratch &scratch, const std::string &command, const std::string &output,
                               const std::string &expected, std::initializer_list<int> threads) {
    for (int count : threads) {
        RunResult r = scratch.Run("OMP_NUM_THREADS=" + std::to_string(count) + " " + command);
        ASSERT_EQ(r.status, 0) << command << ": " << r.err;
        EXPECT_TRUE(scratch.Read(output) == expected) << command << ": " << count << " threads";
    }
}

std::string QuietlyWritten(const Scratch &scratch, const std::string &command, const std::string &output) {
    RunResult r = scratch.Run(command);
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.err, "") << command;
    EXPECT_EQ(r.out, "") << command;
    return scratch.Read(output);
}

bool ExpectOutcome(const Scratch &scratch, const RunResult &r, const HostileCase &c, const std::string &output) {
    std::string shown = std::to_string(c.position) + " " + c.value.substr(0, 20);
    std::string message = c.message;
    EXPECT_EQ(r.status, message.empty() ? 0 : 1) << shown;
    EXPECT_EQ(r.err, message.empty() ? "" : message + "\n") << shown;
    EXPECT_EQ(scratch.Exists(output), message.empty()) << shown;
    return message.empty() && r.status == 0;
}
