#include "help.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "output.h"

bool AsksForHelp(int argc, char **argv) { return argc == 2 && std::strcmp(argv[1], "--help") == 0; }

Status PrintHelp(const char *usage) {
    // The program's name is the usage line's word after "usage : ".
    std::string name = usage;
    const std::string lead = "usage : ";
    if (name.compare(0, lead.size(), lead) == 0) name.erase(0, lead.size());
    name = name.substr(0, name.find(' '));
    std::printf("%s\nThe manual: man %s (doc/%s.1 in the source tree).\n", usage, name.c_str(), name.c_str());
    return FlushStandardOutput("data write error.");
}
