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
    Scratch scratch;
    scratch.Write("in.txt", c.input);
    RunResult r = scratch.Run(std::string("\"$BIN/") + program + "\" " + c.args);
    EXPECT_EQ(r.status, 1) << program << " " << c.args;
    EXPECT_EQ(r.err, std::string(c.message) + "\n") << program << " " << c.args;
    EXPECT_EQ(r.out, "") << program << " " << c.args;
    EXPECT_EQ(scratch.Exists("out.txt"), c.output_exists) << program << " " << c.args;
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
