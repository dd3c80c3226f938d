// The README and the guide as a reader meets them: every relative link (a
// page, a picture, a manual, a heading of a page) leads somewhere, the
// README stays a short front door that names every program and every
// guide page, .ci/fresh_debian.sh finds its two commands, and the quick
// start runs as written on a made-up scan.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

#ifndef CT_SOURCE_DIR
#error "CT_SOURCE_DIR must name the source tree"
#endif

namespace {

const std::string kSource = CT_SOURCE_DIR;

std::vector<std::string> Lines(const std::string &path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

bool IsFence(const std::string &line) { return line.compare(0, 3, "```") == 0; }

// A line with its code spans (`...`) taken out: what is in them is not a
// link.
std::string WithoutCode(const std::string &line) {
    std::string kept;
    bool code = false;
    for (char c : line) {
        if (c == '`') {
            code = !code;
        } else if (!code) {
            kept += c;
        }
    }
    return kept;
}

// The targets of the links of markdown lines, `[text](target)` and
// `![alt](target)`, outside fenced blocks and code spans.
std::vector<std::string> LinkTargets(const std::vector<std::string> &lines) {
    std::vector<std::string> targets;
    bool fenced = false;
    for (const std::string &raw : lines) {
        if (IsFence(raw)) {
            fenced = !fenced;
            continue;
        }
        if (fenced) continue;
        std::string line = WithoutCode(raw);
        for (std::size_t at = line.find("]("); at != std::string::npos; at = line.find("](", at + 2)) {
            std::size_t end = line.find(')', at + 2);
            if (end == std::string::npos) break;
            targets.push_back(line.substr(at + 2, end - at - 2));
        }
    }
    return targets;
}

// The anchor a heading gets: lower case, spaces as dashes, letters, digits,
// '-' and '_' kept, the rest dropped.
std::string Slug(const std::string &heading) {
    std::string slug;
    for (char c : heading) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_') {
            slug += static_cast<char>(std::tolower(u));
        } else if (c == ' ') {
            slug += '-';
        }
    }
    return slug;
}

// The anchors of a page's headings (a repeated one gets -1, -2, ...).
std::set<std::string> Anchors(const std::string &path) {
    std::set<std::string> anchors;
    bool fenced = false;
    for (const std::string &line : Lines(path)) {
        if (IsFence(line)) fenced = !fenced;
        if (fenced || line.empty() || line[0] != '#') continue;
        std::size_t text = line.find_first_not_of('#');
        if (text == std::string::npos || line[text] != ' ') continue;
        std::string slug = Slug(line.substr(text + 1));
        std::string unique = slug;
        for (int n = 1; anchors.count(unique) != 0; ++n) unique = slug + "-" + std::to_string(n);
        anchors.insert(unique);
    }
    return anchors;
}

// The markdown pages a reader is sent to: the README and the guide's pages.
std::vector<std::string> Pages() {
    std::vector<std::string> pages = {"README.md"};
    std::vector<std::string> guide;
    for (const auto &entry : std::filesystem::directory_iterator(kSource + "/doc/guide")) {
        std::string name = entry.path().filename().string();
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".md") == 0) guide.push_back("doc/guide/" + name);
    }
    std::sort(guide.begin(), guide.end());
    pages.insert(pages.end(), guide.begin(), guide.end());
    return pages;
}

// What is wrong with one link of a page (named from the source folder), or
// "" when it leads somewhere: the file it names exists, and so does the
// heading it names in a markdown page.
std::string BrokenLink(const std::string &page, const std::string &target) {
    if (target.find("://") != std::string::npos || target.compare(0, 7, "mailto:") == 0) return "";
    if (target.empty()) return "an empty link";
    std::size_t hash = target.find('#');
    std::string file = target.substr(0, hash);
    std::string anchor = hash == std::string::npos ? "" : target.substr(hash + 1);
    std::filesystem::path folder = std::filesystem::path(kSource + "/" + page).parent_path();
    std::filesystem::path resolved = file.empty() ? std::filesystem::path(kSource + "/" + page) : folder / file;
    if (!std::filesystem::exists(resolved)) return target + ": no such file";
    if (!anchor.empty() && resolved.extension() == ".md" && Anchors(resolved.string()).count(anchor) == 0) {
        return target + ": no such heading";
    }
    return "";
}

TEST(Docs, LinksAndAnchorsAreReadAsAReaderFollowsThem) {
    // The reader of the checks below, on made-up lines.
    const struct {
        std::vector<std::string> lines;
        std::vector<std::string> targets;
    } cases[] = {
        {{"see [the guide](doc/guide/roi.md) and ![](doc/roi_truth.png)"}, {"doc/guide/roi.md", "doc/roi_truth.png"}},
        {{"| [`sino_recon`](doc/sino_recon.1) | text |"}, {"doc/sino_recon.1"}},
        {{"[a](x.md#part-two) [b](#here)"}, {"x.md#part-two", "#here"}},
        {{"`[not](a-link.md)` in code", "```sh", "echo [x](y.md)", "```"}, {}},
        {{"no link: (round) [square]"}, {}},
    };
    for (const auto &c : cases) EXPECT_EQ(LinkTargets(c.lines), c.targets) << c.lines[0];
    const struct {
        const char *heading;
        const char *slug;
    } slugs[] = {
        {"A beamline scan from end to end", "a-beamline-scan-from-end-to-end"},
        {"sino_graft", "sino_graft"},
        {"What grafting buys: a region of interest", "what-grafting-buys-a-region-of-interest"},
        {"`sino_iter` and its 3 methods", "sino_iter-and-its-3-methods"},
    };
    for (const auto &s : slugs) EXPECT_EQ(Slug(s.heading), s.slug) << s.heading;
    EXPECT_EQ(BrokenLink("README.md", "doc/no_such_page.md"), "doc/no_such_page.md: no such file");
    EXPECT_EQ(BrokenLink("README.md", "LICENSE"), "");
    EXPECT_EQ(BrokenLink("README.md", "https://example.org/x"), "");
}

TEST(Docs, EveryRelativeLinkResolves) {
    std::size_t links = 0;
    for (const std::string &page : Pages()) {
        for (const std::string &target : LinkTargets(Lines(kSource + "/" + page))) {
            ++links;
            std::string broken = BrokenLink(page, target);
            EXPECT_EQ(broken, "") << page;
        }
    }
    // The README alone links twenty manuals and every guide page.
    EXPECT_GT(links, 40u);
}

TEST(Docs, TheReadmeIsAShortFrontDoor) {
    std::vector<std::string> readme = Lines(kSource + "/README.md");
    EXPECT_LE(readme.size(), 320u) << "the README is a front door: move detail into doc/guide/";
    // .ci/fresh_debian.sh runs the first sh block's two commands.
    std::string first = DocRecipe("README.md", "# CT toolkit");
    EXPECT_NE(first.find("tools/setup.sh && cmake --workflow --preset release"), std::string::npos) << first;
    EXPECT_NE(first.find("\nexamples/demo.sh"), std::string::npos) << first;

    std::string text;
    for (const std::string &line : readme) text += line + "\n";
    std::vector<std::string> guide = Lines(kSource + "/doc/guide/README.md");
    std::string index;
    for (const std::string &line : guide) index += line + "\n";
    // Every manual page in doc/ is a program of the table, linked.
    int manuals = 0;
    for (const auto &entry : std::filesystem::directory_iterator(kSource + "/doc")) {
        if (entry.path().extension() != ".1") continue;
        ++manuals;
        std::string name = entry.path().filename().string();
        EXPECT_NE(text.find("(doc/" + name + ")"), std::string::npos) << name << " is not linked from the README";
    }
    EXPECT_GE(manuals, 20);
    // Every guide page starts with its title and is linked from the README
    // and from the guide's index.
    for (const std::string &page : Pages()) {
        if (page == "README.md") continue;
        std::vector<std::string> lines = Lines(kSource + "/" + page);
        ASSERT_FALSE(lines.empty()) << page;
        EXPECT_EQ(lines[0].compare(0, 2, "# "), 0) << page << " starts without a level-1 heading";
        std::string name = page.substr(std::string("doc/guide/").size());
        if (name == "README.md") continue;
        EXPECT_NE(text.find("(" + page + ")"), std::string::npos) << name << " is not linked from the README";
        EXPECT_NE(index.find("(" + name + ")"), std::string::npos) << name << " is not in doc/guide/README.md";
    }
}

// Every occurrence of `from` in `text` replaced by `to`.
std::string Replaced(std::string text, const std::string &from, const std::string &to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(Docs, TheQuickStartRunsAsWritten) {
    // The README's beamline recipe on the made-up scan of the volumes guide
    // (8 rows, its axis at 130.9): its row 300 becomes row 4, the axis and
    // the trial axes the scan's own, the list of TIFF files its one
    // multi-page file.
    std::string recipe = DocRecipe("README.md", "## Quick start: a beamline scan");
    ASSERT_NE(recipe.find("stack_recon"), std::string::npos) << recipe;
    recipe = Replaced(Replaced(Replaced(Replaced(recipe, "0300", "0004"), "300,1", "4,1"), "1023.4", "130.9"),
                      "1015,1030,0.5", "130,132,0.5");
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/ct_make_scan\" .").status, 0);
    RunResult r = scratch.Run("PATH=\"$BIN:$PATH\"; export PATH; set -e\n" + recipe);
    ASSERT_EQ(r.status, 0) << recipe << r.err;
    EXPECT_NE(r.err.find("(median of 5 rows)"), std::string::npos) << r.err;
    for (const char *made : {"volume.tif", "centers.tif", "slice_0004.img", "slice.png"}) EXPECT_TRUE(scratch.Exists(made)) << made;
    // The alternative in its comment, from the TIFF files.
    std::size_t at = recipe.find("# or: ");
    ASSERT_NE(at, std::string::npos) << recipe;
    std::string tiff = recipe.substr(at + 6, recipe.find('\n', at) - at - 6);
    r = scratch.Run("PATH=\"$BIN:$PATH\"; export PATH; " + Replaced(tiff, "scan_*.tif", "scan.tif"));
    ASSERT_EQ(r.status, 0) << tiff << r.err;
}

}  // namespace
