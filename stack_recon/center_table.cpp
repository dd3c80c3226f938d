#include "center_table.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "args.h"
#include "checks.h"
#include "streams.h"

namespace {

// The words of one line, up to a '#'.
std::vector<std::string> Words(const std::string &line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == '#') break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// One entry's failure: "FILE: line L: MESSAGE".
Status LineFailure(const std::string &name, int line, const char *message) {
    return Failure(name + ": line " + std::to_string(line) + ": " + message);
}

}  // namespace

Status ReadCenterTable(const char *name, CenterTable *table) {
    *table = CenterTable{};
    table->name = name;
    std::string prefix = NamePrefix(name, "");
    FILE *in = nullptr;
    Status status = OpenInput(name, "r", (prefix + "file not found.").c_str(), &in);
    if (!status.ok()) return status;
    std::string text;
    for (int c = std::getc(in); c != EOF; c = std::getc(in)) text += static_cast<char>(c);
    bool failed = std::ferror(in) != 0;
    CloseInput(in);
    if (failed) return FailureAbout(prefix, "data read error.");
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        int row = 0;
        double center = 0;
        if (words.size() != 2 || !StrictInt(words[0].c_str(), "bad line.", &row).ok() || row < 0 ||
            !StrictReal(words[1].c_str(), "bad line.", &center).ok() || !std::isfinite(center))
            return LineFailure(name, number, "bad line.");
        if (!table->rows.empty() && row <= table->rows.back()) return LineFailure(name, number, "rows not increasing.");
        table->rows.push_back(row);
        table->centers.push_back(center);
        table->lines.push_back(number);
    }
    if (table->rows.empty()) return FailureAbout(prefix, "no rows.");
    return Success();
}

Status CheckCenterTable(const CenterTable &table, int detectors) {
    for (std::size_t i = 0; i < table.centers.size(); ++i)
        if (!CenterInside(table.centers[i], detectors))
            return LineFailure(table.name, table.lines[i], "center outside the detector.");
    return Success();
}

double TableCenter(const CenterTable &table, int row) {
    const std::vector<int> &r = table.rows;
    const std::vector<double> &c = table.centers;
    if (row <= r.front()) return c.front();
    if (row >= r.back()) return c.back();
    std::size_t i = 1;
    while (r[i] < row) ++i;
    if (r[i] == row) return c[i];
    // r[i - 1] < row < r[i]
    double t = static_cast<double>(row - r[i - 1]) / (r[i] - r[i - 1]);
    return c[i - 1] + t * (c[i] - c[i - 1]);
}
