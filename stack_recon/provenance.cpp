#include "provenance.h"

#include <cctype>
#include <cstring>

#include "sinograms.h"

#ifndef CT_VERSION
#define CT_VERSION "unknown"
#endif

std::vector<GivenOption> GivenOptions(std::span<const Option> table) {
    std::vector<GivenOption> given;
    for (const Option &o : table) {
        if (o.flag != nullptr && *o.flag) given.push_back({o.letter, ""});
        if (o.text != nullptr && *o.text != nullptr) given.push_back({o.letter, *o.text});
        if (o.list != nullptr)
            for (const char *v : *o.list) given.push_back({o.letter, v});
    }
    return given;
}

std::string ShellWord(const std::string &word) {
    bool plain = !word.empty();
    for (char c : word)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_-./,:=+%@", c) != nullptr)) plain = false;
    if (plain) return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Record StartRecord(int argc, char **argv, const std::vector<GivenOption> &options,
                   const std::vector<const char *> &stack) {
    Record r;
    SetText(&r, "program", "stack_recon");
    SetText(&r, "version", CT_VERSION);
    std::string command;
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) command += ' ';
        command += ShellWord(argv[i]);
        words.push_back(argv[i]);
    }
    SetText(&r, "command", command);
    SetTexts(&r, "arguments", words);
    std::vector<std::string> given;
    for (const GivenOption &o : options)
        given.push_back(std::string("-") + o.first + (o.second.empty() ? "" : " " + o.second));
    SetTexts(&r, "options", given);
    SetTexts(&r, "stack", std::vector<std::string>(stack.begin(), stack.end()));
    return r;
}

bool OptionLeavesSamples(const std::string &option) {
    return option.compare(0, 2, "-r") == 0 || option.compare(0, 2, "-m") == 0;
}

namespace {

// The options that matter, with the letter of each.
std::vector<std::string> Kept(const RecordValue *options) {
    std::vector<std::string> kept;
    if (options == nullptr) return kept;
    for (const std::string &o : options->texts)
        if (!OptionLeavesSamples(o)) kept.push_back(o);
    return kept;
}

bool SameValue(const RecordValue *a, const RecordValue *b) {
    if (a == nullptr || b == nullptr) return a == b;
    return a->kind == b->kind && a->text == b->text && a->integer == b->integer &&
           (a->real == b->real || (a->real != a->real && b->real != b->real)) && a->texts == b->texts &&
           a->reals == b->reals;
}

// The first option letter given differently, as "-x".
std::string DifferentOption(const std::vector<std::string> &a, const std::vector<std::string> &b) {
    std::string letters;
    for (const std::vector<std::string> *list : {&a, &b})
        for (const std::string &o : *list)
            if (o.size() > 1 && letters.find(o[1]) == std::string::npos) letters += o[1];
    for (char letter : letters) {
        std::vector<std::string> in_a, in_b;
        for (const std::string &o : a)
            if (o[1] == letter) in_a.push_back(o);
        for (const std::string &o : b)
            if (o[1] == letter) in_b.push_back(o);
        if (in_a != in_b) return std::string("-") + letter;
    }
    return "";
}

}  // namespace

std::string RecordsDiffer(const Record &a, bool a_recorded, const Record &b, bool b_recorded) {
    if (a_recorded != b_recorded) return "the record";
    if (!a_recorded) return "";
    if (!SameValue(FindValue(a, "version"), FindValue(b, "version"))) return "the version";
    std::string option = DifferentOption(Kept(FindValue(a, "options")), Kept(FindValue(b, "options")));
    if (!option.empty()) return option;
    if (!SameValue(FindValue(a, "stack"), FindValue(b, "stack"))) return "the stack";
    if (!SameValue(FindValue(a, "stack_rows"), FindValue(b, "stack_rows"))) return "the stack's rows";
    for (const char *name : {"kernel", "method", "center"})
        if (!SameValue(FindValue(a, name), FindValue(b, name))) return name;
    if (!SameValue(FindValue(a, "type"), FindValue(b, "type"))) return "the sample type";
    if (!SameValue(FindValue(a, "value_range"), FindValue(b, "value_range"))) return "the value range";
    return "";
}

void AddRunFacts(Record *r, const RunFacts &f) {
    SetText(r, "kernel", f.kernel);
    SetText(r, "method", f.method);
    SetText(r, "center", f.center != nullptr ? f.center : "found");
    SetReals(r, "centers", *f.centers);
    SetInteger(r, "stack_rows", f.stack_rows);
    SetInteger(r, "first_row", f.first_row);
    SetInteger(r, "rows", f.rows);
    SetInteger(r, "flats", f.flats);
    SetInteger(r, "darks", f.darks);
    SetInteger(r, "clamped", 0, true);
    if (f.zingers)
        for (const char *name : {"zingers", "flat_zingers", "dark_zingers"}) SetInteger(r, name, 0, true);
}

namespace {

// The rings' method as -R names it.
const char *RingsName(StripeMethod method) {
    switch (method) {
        case StripeMethod::kAuto: return "auto";
        case StripeMethod::kDetect: return "detect";
        case StripeMethod::kSort: return "sort";
        case StripeMethod::kFft: return "fft";
    }
    return "auto";
}

}  // namespace

void AddStepFacts(Record *r, const BandSteps &steps, int size, double zinger_threshold) {
    SetInteger(r, "size", size);
    SetReals(r, "offset", {steps.x0, steps.y0});
    if (zinger_threshold > 0) SetReal(r, "zinger_threshold", zinger_threshold);
    if (steps.rings.on) {
        SetText(r, "rings", RingsName(steps.rings.method));
        SetInteger(r, "rings_size", steps.rings.size);
    }
    if (!IsIterative(steps.method)) return;
    const IterativeSettings &it = steps.iterative;
    if (steps.method == SliceMethod::kTv) {
        SetInteger(r, "iterations", it.tv.iterations);
        SetText(r, "nonnegative", it.tv.nonnegative ? "yes" : "no");
        SetReal(r, "lambda", it.tv.lambda);
        SetReal(r, "tolerance", it.tv.tolerance);
        return;
    }
    SetInteger(r, "iterations", it.iterations);
    SetText(r, "nonnegative", it.nonnegative ? "yes" : "no");
    if (steps.method == SliceMethod::kSirt) SetInteger(r, "subsets", it.subsets);
}

void SetCounts(Record *r, const ReadCounts &counts) {
    SetInteger(r, "clamped", counts.clamped, true);
    if (FindValue(*r, "zingers") == nullptr) return;
    SetInteger(r, "zingers", counts.zingers, true);
    SetInteger(r, "flat_zingers", counts.flat_zingers, true);
    SetInteger(r, "dark_zingers", counts.dark_zingers, true);
}
