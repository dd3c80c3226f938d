#include "command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "output.h"
#include "pattern.h"
#include "streams.h"

namespace {

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// A word that reads as a group of options: a dash and a letter, unless the
// whole word is a number ("-inf", "-nan").
bool LooksLikeOptions(const char *word) {
    if (word[0] != '-' || !IsLetter(word[1])) return false;
    char *end = nullptr;
    std::strtod(word, &end);
    return *end != '\0';
}

const Option *Find(const Command &command, char letter) {
    for (const Option &option : command.options)
        if (option.letter == letter) return &option;
    return nullptr;
}

std::string Dashed(char letter) { return std::string("-") + letter; }

void Store(const Option &option, const char *value) {
    if (option.flag != nullptr) *option.flag = true;
    if (option.text != nullptr) *option.text = value;
    if (option.list != nullptr) option.list->push_back(value);
}

// The program's name: the usage line's word after "usage : ".
std::string ProgramName(const char *usage) {
    std::string name = usage;
    const std::string lead = "usage : ";
    if (name.compare(0, lead.size(), lead) == 0) name.erase(0, lead.size());
    return name.substr(0, name.find(' '));
}

Status PrintHelp(const Command &command) {
    std::vector<std::pair<std::string, const char *>> rows;
    for (const Option &option : command.options)
        rows.emplace_back(Dashed(option.letter) + (option.value != nullptr ? std::string(" ") + option.value : ""),
                          option.help);
    for (const Operand &operand : command.operands) rows.emplace_back(operand.name, operand.help);
    std::size_t width = 0;
    for (const auto &row : rows) width = std::max(width, row.first.size());
    std::string text = std::string(command.usage) + "\n";
    for (const auto &row : rows) text += "  " + row.first + std::string(width + 3 - row.first.size(), ' ') + row.second + "\n";
    std::string name = ProgramName(command.usage);
    text += "The manual: man " + name + " (doc/" + name + ".1 in the source tree).\n";
    std::fputs(text.c_str(), stdout);
    return FlushStandardOutput("data write error.");
}

}  // namespace

Status ReadCommandLine(int argc, char **argv, const Command &command, CommandLine *line) {
    ProtectStandardStreams();
    *line = CommandLine{false, argv + argc, 0};
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        line->helped = true;
        return PrintHelp(command);
    }
    int i = 1;
    bool ended = command.all_operands;  // "--" ends the options for good
    int valued = -1;  // the word that was the last option's value, when it was a word of its own
    while (!ended && i < argc) {
        const char *word = argv[i];
        if (std::strcmp(word, "--") == 0) {
            ++i;
            ended = true;
            break;
        }
        if (!LooksLikeOptions(word)) break;
        ++i;
        for (const char *at = word + 1; *at != '\0'; ++at) {
            const Option *option = Find(command, *at);
            if (option == nullptr) return Failure("unknown option " + Dashed(*at) + ".");
            if (option->value == nullptr) {
                Store(*option, nullptr);
                continue;
            }
            // A value: the rest of the word, else the next word.
            if (at[1] != '\0') {
                Store(*option, at + 1);
            } else if (i < argc) {
                valued = i;
                Store(*option, argv[i++]);
            } else {
                return Failure("option " + Dashed(*at) + " needs a value (" + option->value + ").");
            }
            break;
        }
    }
    // A word among the operands that is one of the options is a misplaced
    // option: read as a file, it would be a stream or a missing file.
    for (int j = i; j < argc && !ended; ++j) {
        if (LooksLikeOptions(argv[j]) && Find(command, argv[j][1]) != nullptr) {
            // The files before it named like the last option's value (its
            // digits aside): an unquoted pattern the shell expanded, whose
            // first name went to the option and the others to the files.
            if (valued == i - 1 && j > i && SeriesSkeleton(argv[i]) == SeriesSkeleton(argv[valued]))
                return Failure("options go before the files: " + Dashed(argv[j][1]) + " (" + argv[i] + " after " +
                               argv[valued - 1] + " " + argv[valued] + ": an unquoted pattern? quote it: " +
                               argv[valued - 1] + " '" + SeriesPattern(argv[valued]) + "').");
            return Failure("options go before the files: " + Dashed(argv[j][1]) + ".");
        }
    }
    int count = argc - i;
    if (count < command.fewest || count > command.most) return Failure(command.usage);
    *line = CommandLine{false, argv + i, count};
    return Success();
}
