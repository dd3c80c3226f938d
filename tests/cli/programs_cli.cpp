// What every program does: answers --help, and writes outputs that
// survive any failure.
//
// Outputs, for every program that writes a file:
// a named output is written to a temporary file beside it and renamed over
// the name only when complete, so a failing input, a signal at the last
// moment, a close that fails and a full disk all leave the old file as it
// was and no temporary file behind; a successful run keeps the old file's
// permission bits and replaces a link's target, not the link.
#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/run.h"

namespace {

struct OutputCase {
    const char *program;
    const char *setup;    // makes the inputs
    const char *run;      // writes $OUT
    const char *breaks;   // spoils an input so that the run fails (or nullptr)
    const char *failure;  // the line a failed write gives, $OUT for the name
    // What $OUT stands for, and the file the run writes: a program that
    // names its outputs by a pattern is given the pattern.
    const char *argument = "out.dat";
    const char *written = "out.dat";
};

const char *const kSinogram = "\"$BIN/disk_sino\" 256 10 -5 80 -50 90 in.sg";
const char *const kStack =
    "for v in 0 1 2 3; do \"$BIN/disk_sino\" 16 0 0 5 4 - | \"$BIN/sino_tiff\" - 32 view_$v.tif || exit 1; done";
const char *const kProfile = "awk 'BEGIN { print 300; for (j = 0; j < 300; j++) print 300 - j }' > in.txt";

const OutputCase kCases[] = {
    {"ax_recon", kProfile, "\"$BIN/ax_recon\" in.txt 1 $OUT", "echo 300 1 2 > in.txt", "data write error."},
    {"ax_expand", kProfile, "\"$BIN/ax_expand\" in.txt 90 $OUT", "echo 300 1 2 > in.txt", "data write error."},
    {"disk_sino", "true", "\"$BIN/disk_sino\" 256 0 0 80 90 $OUT", nullptr, "data write error."},
    {"sino_graft", kSinogram, "\"$BIN/sino_graft\" in.sg 127.5 in.sg 127.5 1 0 0 0 $OUT",
     "head -c 100000 in.sg > cut.sg && mv cut.sg in.sg", "SG2 data write error."},
    {"sino_view", kSinogram, "\"$BIN/sino_view\" in.sg $OUT", "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg",
     "$OUT: data write error."},
    {"disk_image", "true", "\"$BIN/disk_image\" 128 0 0 40 $OUT", nullptr, "$OUT: data write error."},
    {"sino_scale", kSinogram, "\"$BIN/sino_scale\" in.sg 2 $OUT", "head -c 100000 in.sg > cut.sg && mv cut.sg in.sg",
     "$OUT: data write error."},
    {"sino_recon", kSinogram, "\"$BIN/sino_recon\" in.sg 127.5 1 $OUT",
     "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg", "$OUT: data write error."},
    {"sino_tiff", kSinogram, "\"$BIN/sino_tiff\" in.sg $OUT", "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg",
     "$OUT: data write error."},
    {"img_sino", "\"$BIN/disk_image\" 128 0 0 40 in.img", "\"$BIN/img_sino\" in.img 128 63.5 90 $OUT",
     "head -c 1000 in.img > cut.img && mv cut.img in.img", "$OUT: data write error."},
    {"sino_iter", kSinogram, "\"$BIN/sino_iter\" -i 2 in.sg 127.5 1 $OUT",
     "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg", "$OUT: data write error."},
    {"sino_rings", kSinogram, "\"$BIN/sino_rings\" in.sg $OUT", "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg",
     "$OUT: data write error."},
    {"sino_fold", kSinogram, "\"$BIN/sino_fold\" in.sg 127.5 $OUT > axis.txt",
     "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg",
     "$OUT: data write error."},
    {"phantom_sino", "true", "\"$BIN/phantom_sino\" shepp-logan:100 256 127.5 90 $OUT", nullptr,
     "$OUT: data write error."},
    {"phantom_image", "true", "\"$BIN/phantom_image\" shepp-logan:50 128 $OUT", nullptr, "$OUT: data write error."},
    {"sino_noise", kSinogram, "\"$BIN/sino_noise\" in.sg 10000 7 $OUT",
     "head -c 1000 in.sg > cut.sg && mv cut.sg in.sg", "$OUT: data write error."},
    {"phase_stack", "echo '0 0 5 5 0 1' > in.txt", "\"$BIN/phase_stack\" in.txt 16 4 5e-8,5e-11,0.1,10,5e-6 $OUT",
     "echo '0 0 5' > in.txt", "$OUT: data write error."},
    // Patterns: a stack of four views of four rows, its row 1 only.
    {"proj_sino", kStack, "\"$BIN/proj_sino\" -l -r 1,1 view_*.tif $OUT", "head -c 200 view_2.tif > cut && mv cut view_2.tif",
     "$OUT: data write error.", "out_%d.dat", "out_1.dat"},
    {"stack_recon", kStack, "\"$BIN/stack_recon\" -l -c 7.5 -r 1,1 view_*.tif $OUT",
     "head -c 200 view_2.tif > cut && mv cut view_2.tif", "$OUT: data write error.", "out_%d.img", "out_1.img"},
};

// A TIFF of one page of one byte, as octal escapes that both C++ and
// printf(1) read.
#define ONE_PAGE_TIFF "\\111\\111\\052\\000\\010\\000\\000\\000\\011\\000\\000\\001\\003\\000\\001\\000\\000\\000\\001\\000\\000\\000\\001\\001\\003\\000\\001\\000\\000\\000\\001\\000\\000\\000\\002\\001\\003\\000\\001\\000\\000\\000\\010\\000\\000\\000\\003\\001\\003\\000\\001\\000\\000\\000\\001\\000\\000\\000\\006\\001\\003\\000\\001\\000\\000\\000\\001\\000\\000\\000\\021\\001\\004\\000\\001\\000\\000\\000\\172\\000\\000\\000\\025\\001\\003\\000\\001\\000\\000\\000\\001\\000\\000\\000\\026\\001\\003\\000\\001\\000\\000\\000\\001\\000\\000\\000\\027\\001\\004\\000\\001\\000\\000\\000\\001\\000\\000\\000\\000\\000\\000\\000\\157"

// What an output held before the run, written as printf(1)'s format: "old"
// for a program that replaces any file; else a file of the kind the
// program replaces (a program refuses to replace another kind): for
// stack_recon, which replaces only a volume, and for the programs that write
// sinograms and images, an old slice (a square image's header); a PNG's
// signature for sino_view, a TIFF of one page for sino_tiff.
const char *OldFormat(const std::string &program) {
    for (const char *name : {"ax_recon", "ax_expand", "disk_sino", "sino_graft", "disk_image", "phase_stack", "proj_sino"})
        if (program == name) return "old";
    if (program == "sino_view") return "\\211PNG\\r\\n\\032\\nold";
    if (program == "sino_tiff") return ONE_PAGE_TIFF;
    return "1\\t1\\nold";
}

// The bytes that format gives.
std::string Old(const std::string &program) {
    std::string format = OldFormat(program), bytes;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '\\') {
            bytes += format[i];
        } else if (format[i + 1] == 't' || format[i + 1] == 'r' || format[i + 1] == 'n') {
            bytes += format[i + 1] == 't' ? '\t' : format[i + 1] == 'r' ? '\r' : '\n';
            ++i;
        } else {
            bytes += static_cast<char>(std::stoi(format.substr(i + 1, 3), nullptr, 8));
            i += 3;
        }
    }
    return bytes;
}

// The shell words that write it
// (double quotes: the full disk's command runs inside single quotes).
std::string PrintOld(const std::string &program) { return std::string("printf \"") + OldFormat(program) + "\""; }

std::string With(std::string text, const std::string &out) {
    for (std::size_t at; (at = text.find("$OUT")) != std::string::npos;) text.replace(at, 4, out);
    return text;
}

// The last line of standard error, with its line feed ("" for none).
std::string LastLine(const std::string &err) {
    return err.empty() ? "" : err.substr(err.rfind('\n', err.size() - 2) + 1);
}

// The run with the fault shim preloaded and one of its faults set
// ("NAME=value").
std::string InjectedAs(const OutputCase &c, const std::string &fault) {
    return std::string("ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" LD_PRELOAD='") + CT_FAULT_SHIM +
           "' " + fault + " " + With(c.run, c.argument);
}

// The same with a fault switched on.
std::string Injected(const OutputCase &c, const char *fault) { return InjectedAs(c, std::string(fault) + "=1"); }

// Whatever happened, no temporary file of the output is left.
void ExpectNoTemporary(const Scratch &scratch, const OutputCase &c) {
    RunResult r = scratch.Run(std::string("ls -A | grep -F '.") + c.written + ".' || true");
    EXPECT_EQ(r.out, "") << c.program;
}

TEST(AtomicOutputs, AFailureLeavesTheOldFile) {
    for (const OutputCase &c : kCases) {
        Scratch scratch;
        ASSERT_EQ(scratch.Run(c.setup).status, 0) << c.program;
        const std::string old = Old(c.program);
        // A failing input.
        if (c.breaks != nullptr) {
            Scratch broken;
            ASSERT_EQ(broken.Run(std::string(c.setup) + " && " + c.breaks).status, 0) << c.program;
            broken.Write(c.written, old);
            RunResult r = broken.Run(With(c.run, c.argument));
            EXPECT_EQ(r.status, 1) << c.program << " with a broken input";
            EXPECT_EQ(broken.Read(c.written), old) << c.program << " with a broken input";
            ExpectNoTemporary(broken, c);
        }
        // A signal when the output is complete, just before its rename. The
        // files of a pattern are renamed as one set, the signal held back
        // until the last is in place: it ends the process after them.
        scratch.Write(c.written, old);
        RunResult r = scratch.Run(Injected(c, "CT_SHIM_SIGNAL_AT_RENAME"));
        bool set = std::string(c.argument) != c.written;
        EXPECT_EQ(r.status, 128 + 15) << c.program << " terminated";
        EXPECT_EQ(scratch.Read(c.written) == old, !set) << c.program << " terminated";
        ExpectNoTemporary(scratch, c);
        // A close that fails: the output's last write is checked there.
        scratch.Write(c.written, old);
        r = scratch.Run(Injected(c, "CT_SHIM_FAIL_FCLOSE"));
        EXPECT_EQ(r.status, 1) << c.program << " failing close";
        std::string last = LastLine(r.err);
        EXPECT_EQ(last, With(c.failure, c.written) + "\n") << c.program << " failing close";
        EXPECT_EQ(scratch.Read(c.written), old) << c.program << " failing close";
        ExpectNoTemporary(scratch, c);
    }
}

TEST(AtomicOutputs, EverySignalThatEndsTheProcessLeavesTheOldFile) {
    // Signals whose default action ends the process, beyond the usual four;
    // the last the first real-time one.
    const int signals[] = {SIGQUIT, SIGXCPU, SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGRTMIN};
    // The handlers are common code: three programs stand for all.
    for (const OutputCase &c : kCases) {
        std::string program = c.program;
        if (program != "sino_scale" && program != "sino_tiff" && program != "phantom_sino") continue;
        Scratch scratch;
        ASSERT_EQ(scratch.Run(c.setup).status, 0) << c.program;
        for (int signal : signals) {
            scratch.Write(c.written, Old(c.program));
            RunResult r = scratch.Run("ulimit -c 0; " + InjectedAs(c, "CT_SHIM_RAISE_AT_RENAME=" + std::to_string(signal)));
            EXPECT_EQ(r.status, 128 + signal) << c.program << " signal " << signal;
            EXPECT_EQ(scratch.Read(c.written), Old(c.program)) << c.program << " signal " << signal;
            ExpectNoTemporary(scratch, c);
        }
        // A signal ignored when the program starts stays ignored: nohup's
        // SIGHUP, and one a shell's trap ignores.
        const struct {
            int signal;
            const char *before, *wrapper;  // the shell's part, and a command the program runs under
        } ignored[] = {{SIGHUP, "", " nohup"}, {SIGUSR1, "trap '' USR1; ", ""}};
        for (const auto &i : ignored) {
            scratch.Write(c.written, Old(c.program));
            RunResult r = scratch.Run(
                i.before + InjectedAs(c, "CT_SHIM_RAISE_AT_RENAME=" + std::to_string(i.signal) + i.wrapper));
            EXPECT_EQ(r.status, 0) << c.program << " ignoring signal " << i.signal << ": " << r.err;
            EXPECT_NE(scratch.Read(c.written), Old(c.program)) << c.program << " ignoring signal " << i.signal;
            ExpectNoTemporary(scratch, c);
        }
    }
}

// The message of a failure about the output, for the output `out` ("" for
// standard output): the failure of a write as the table gives it, "$OUT"
// its name. The four first programs name no file ("data write error."),
// sino_graft keeps its "SG2 " prefix.
std::string OutputMessage(const OutputCase &c, const std::string &out) {
    std::string message = With(c.failure, out);
    if (out.empty() && message.compare(0, 2, ": ") == 0) message.erase(0, 2);
    return message;
}

// The message for an output in a folder that does not exist.
std::string MissingFolderMessage(const OutputCase &c, const std::string &out) {
    std::string failure = c.failure;
    if (failure.find("$OUT") != std::string::npos) return out + ": cannot create (No such file or directory).";
    return failure.compare(0, 4, "SG2 ") == 0 ? "SG2 file not stored." : "file not open.";
}

TEST(Outputs, AnOutputThatCannotBeWrittenIsAFailure) {
    // Every program that writes one named file: a missing folder, a full
    // device, and standard output full or closed. The run fails with the
    // message as its last line on standard error (sino_graft prints the
    // centre before it) and nothing on standard output.
    for (const OutputCase &c : kCases) {
        if (std::string(c.argument) != c.written) continue;
        Scratch scratch;
        ASSERT_EQ(scratch.Run(c.setup).status, 0) << c.program;
        // Standard output where the output is the command's last word
        // (phase_stack writes its stack only to a file).
        const bool standard = std::string(c.run).ends_with("$OUT") && std::string(c.program) != "phase_stack";
        const struct {
            std::string out;   // in place of $OUT
            std::string line;  // the last line on standard error
        } targets[] = {
            {"no/such/dir/out.dat", MissingFolderMessage(c, "no/such/dir/out.dat")},
            {"/dev/full", OutputMessage(c, "/dev/full")},
            {"- >/dev/full", OutputMessage(c, "")},
            {"- >&-", OutputMessage(c, "")},
        };
        for (const auto &t : targets) {
            if (t.out[0] == '-' && !standard) continue;
            RunResult r = scratch.Run(With(c.run, t.out));
            EXPECT_EQ(r.status, 1) << c.program << " " << t.out;
            std::string last = LastLine(r.err);
            EXPECT_EQ(last, t.line + "\n") << c.program << " " << t.out;
            EXPECT_EQ(r.out, "") << c.program << " " << t.out;
        }
        EXPECT_FALSE(scratch.Exists("no")) << c.program;
    }
}

// proj_sino and stack_recon write a set of files named by a pattern: the
// set is replaced whole or not at all, as a user can see it.
TEST(AtomicOutputs, AFileSetIsReplacedWholeOrNotAtAll) {
    struct SetCase {
        const char *program;
        const char *run;       // four rows, out_0.dat .. out_3.dat
        const char *fault;     // the shim's fault
        int status;
        const char *err;       // the last line of standard error
        bool replaced;         // every file new, else every file old
    };
    const char *const proj = "\"$BIN/proj_sino\" -l view_*.tif out_%d.dat";
    const char *const stack = "\"$BIN/stack_recon\" -l -c 7.5 view_*.tif out_%d.dat";
    const SetCase cases[] = {
        // SIGTERM once the first file is in place: held back until the last.
        {"proj_sino", proj, "CT_SHIM_SIGNAL_AFTER_RENAMES=1", 128 + SIGTERM, "", true},
        {"stack_recon", stack, "CT_SHIM_SIGNAL_AFTER_RENAMES=1", 128 + SIGTERM, "", true},
        // The last file's name taken by a directory during the run: found
        // before the first rename.
        {"proj_sino", proj, "CT_SHIM_DIRECTORY_AT_CLOSE=out_3.dat", 1, "out_3.dat: file not open.\n", false},
        {"stack_recon", stack, "CT_SHIM_DIRECTORY_AT_CLOSE=out_3.dat", 1, "out_3.dat: file not open.\n", false},
    };
    for (const SetCase &c : cases) {
        Scratch scratch;
        ASSERT_EQ(scratch.Run(kStack).status, 0) << c.program;
        const std::string old = Old(c.program);
        for (int row = 0; row < 4; ++row) scratch.Write("out_" + std::to_string(row) + ".dat", old);
        RunResult r = scratch.Run(std::string("ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" LD_PRELOAD='") +
                                  CT_FAULT_SHIM + "' " + c.fault + " " + c.run);
        std::string label = std::string(c.program) + " " + c.fault;
        EXPECT_EQ(r.status, c.status) << label << ": " << r.err;
        std::string last = LastLine(r.err);
        if (*c.err != '\0') {
            EXPECT_EQ(last, c.err) << label;
        }
        int rows = c.replaced ? 4 : 3;  // the directory is the shim's
        for (int row = 0; row < rows; ++row) {
            std::string name = "out_" + std::to_string(row) + ".dat";
            EXPECT_EQ(scratch.Read(name) != old, c.replaced) << label << " " << name;
        }
        EXPECT_EQ(scratch.Run("ls -A | grep '^\\.out_' || true").out, "") << label;
    }
}

TEST(AtomicOutputs, AReplacementKeepsItsOwnerOrSaysWhyItCannotBeMade) {
    bool root = geteuid() == 0;
    for (const OutputCase &c : kCases) {
        if (std::string(c.argument) != c.written) continue;
        Scratch scratch;
        ASSERT_EQ(scratch.Run(c.setup).status, 0) << c.program;
        // Root gives the new file the old one's owner and group.
        if (root) {
            RunResult r = scratch.Run(PrintOld(c.program) + " > " + c.written + " && chown 1234:5678 " + c.written +
                                      " && " + With(c.run, c.argument) + " && stat -c '%u %g' " + c.written);
            EXPECT_EQ(r.status, 0) << c.program << ": " << r.err;
            EXPECT_EQ(r.out, "1234 5678\n") << c.program;
        }
        // A writable file in a folder that may not be written: fopen would
        // write it, so the refusal says why. Root is made somebody else, who
        // runs a copy of the program: the build may lie in a folder only root
        // may enter (/root).
        RunResult r = scratch.Run("chmod 777 . && rm -f axis.txt && mkdir ro && " + PrintOld(c.program) + " > ro/" + c.written +
                                  " && chmod 666 ro/" + c.written + " && chmod 555 ro && " +
                                  (root ? std::string("mkdir bin && cp \"$BIN/") + c.program +
                                              "\" bin/ && chmod 755 bin && BIN=\"$PWD/bin\" && "
                                              "setpriv --reuid=65534 --regid=65534 --clear-groups "
                                        : std::string()) +
                                  "sh -c '" + With(c.run, std::string("ro/") + c.argument) + "'");
        EXPECT_EQ(r.status, 1) << c.program;
        std::string last = LastLine(r.err);
        EXPECT_EQ(last, std::string("cannot create a temporary file beside ro/") + c.written + " (Permission denied).\n")
            << c.program;
        EXPECT_EQ(scratch.Read(std::string("ro/") + c.written), Old(c.program)) << c.program;
    }
}

TEST(AtomicOutputs, AFullDiskLeavesTheOldFile) {
    Scratch probe;
    if (probe.Run("unshare -m true 2>/dev/null").status != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -m needs root): no small file system to fill";
    for (const OutputCase &c : kCases) {
        Scratch scratch;
        ASSERT_EQ(scratch.Run(c.setup).status, 0) << c.program;
        // A file system of one page, which the old output fills.
        RunResult r = scratch.Run(std::string("mkdir disk && unshare -m sh -c 'mount -t tmpfs -o size=4k tmpfs disk && ") +
                                  PrintOld(c.program) + " > disk/" + c.written + " && " +
                                  With(c.run, std::string("disk/") + c.argument) +
                                  "; status=$?; ls -A disk > listing; cat disk/" + c.written +
                                  " > kept; exit $status'");
        EXPECT_EQ(r.status, 1) << c.program;
        std::string last = LastLine(r.err);
        EXPECT_EQ(last, With(c.failure, std::string("disk/") + c.written) + "\n") << c.program;
        EXPECT_EQ(scratch.Read("kept"), Old(c.program)) << c.program;
        EXPECT_EQ(scratch.Read("listing"), std::string(c.written) + "\n") << c.program;
    }
}

TEST(AtomicOutputs, ASuccessKeepsPermissionsAndLinks) {
    for (const OutputCase &c : kCases) {
        Scratch scratch;
        ASSERT_EQ(scratch.Run(c.setup).status, 0) << c.program;
        // The new file gets the old one's bits; a link keeps pointing at it.
        RunResult r = scratch.Run(PrintOld(c.program) + " > target.dat && chmod 640 target.dat && ln -s target.dat " +
                                  c.written + " && " + With(c.run, c.argument) +
                                  " && stat -c %a target.dat && test -L " + c.written);
        EXPECT_EQ(r.status, 0) << c.program << ": " << r.err;
        EXPECT_EQ(r.out, "640\n") << c.program;
        EXPECT_NE(scratch.Read("target.dat"), Old(c.program)) << c.program;
        ExpectNoTemporary(scratch, c);
        // A name that is not a regular file is written directly.
        if (std::string(c.argument) == c.written) {
            r = scratch.Run(With(c.run, "/dev/null"));
            EXPECT_EQ(r.status, 0) << c.program << ": " << r.err;
        }
    }
}

TEST(AtomicOutputs, AFileThatMayNotBeWrittenIsNotReplaced) {
    // Root may write anything, so the check is made as an unprivileged user
    // in a folder anyone may write: renaming over the read-only file would
    // succeed there, and only the check before it refuses.
    Scratch scratch;
    if (scratch.Run("[ \"$(id -u)\" -eq 0 ] && command -v setpriv >/dev/null").status != 0)
        GTEST_SKIP() << "needs root and setpriv(1) to run as another user";
    ASSERT_EQ(scratch.Run(std::string("\"$BIN/disk_sino\" 16 0 0 5 8 in.sg && ") + PrintOld("sino_scale") + " > out.sg && chmod 0444 out.sg && "
                          "chmod 0777 . && chmod 0644 in.sg").status, 0);
    // A copy of the program: the build may lie in a folder only root may enter.
    RunResult r = scratch.Run("cp \"$BIN/sino_scale\" .prog && chmod 755 .prog && "
                              "setpriv --reuid=65534 --regid=65534 --clear-groups ./.prog in.sg 2 out.sg");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "out.sg: cannot create (Permission denied).\n");
    EXPECT_EQ(scratch.Read("out.sg"), Old("sino_scale"));
    EXPECT_EQ(scratch.Run("ls -A | grep '^\\.out' || true").out, "");
}

TEST(AtomicOutputs, ProjSinoLeavesEveryOldSinogram) {
    // A stack of three rows whose second page is cut in its second row:
    // the run fails after the first band (one row a band) was written; the
    // sinograms there before, a link to /dev/full among them, are as they
    // were, and the new first one is gone.
    Scratch scratch;
    RunResult r = scratch.Run(
        "for v in 0 1 2 3; do \"$BIN/disk_sino\" 16 0 0 5 3 - | \"$BIN/sino_tiff\" - 32 view_$v.tif || exit 1; done && "
        "head -c 226 view_1.tif > cut.tif && mv cut.tif view_1.tif && "
        "printf old > o_1.sg && ln -s /dev/full o_2.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    r = scratch.Run("\"$BIN/proj_sino\" -l -m 0.001 view_0.tif view_1.tif view_2.tif view_3.tif o_%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "view_1.tif: data read error.\n");
    EXPECT_EQ(scratch.Read("o_1.sg"), "old");
    EXPECT_FALSE(scratch.Exists("o_0.sg"));
    EXPECT_EQ(scratch.Run("test -L o_2.sg && readlink o_2.sg").out, "/dev/full\n");
    EXPECT_EQ(scratch.Run("ls -A | grep '^\\.o_' || true").out, "");
}

TEST(Help, EveryProgramPrintsItsUsageAndWhereItsManualIs) {
    // The usage line as no arguments give it, a line per option and operand,
    // then the manual.
    const char *const programs[] = {"ax_recon", "ax_expand", "disk_sino",  "sino_graft", "sino_view", "disk_image",
                                    "sino_stat", "sino_scale", "sino_center", "proj_sino", "sino_tiff", "sino_recon",
                                    "img_sino",  "sino_iter",  "sino_rings", "stack_recon", "sino_fold",
                                    "phantom_sino", "phantom_image", "sino_noise", "phase_stack"};
    for (const char *program : programs) {
        Scratch scratch;
        std::string bin = std::string("\"$BIN/") + program + "\"";
        RunResult usage = scratch.Run(bin);
        RunResult help = scratch.Run(bin + " --help");
        EXPECT_EQ(help.status, 0) << program;
        EXPECT_EQ(help.err, "") << program;
        ASSERT_EQ(usage.err.compare(0, 8, "usage : "), 0) << program << ": " << usage.err;
        std::string manual = std::string("The manual: man ") + program + " (doc/" + program + ".1 in the source tree).\n";
        ASSERT_GT(help.out.size(), usage.err.size() + manual.size()) << program;
        EXPECT_EQ(help.out.compare(0, usage.err.size(), usage.err), 0) << program << ": " << help.out;
        EXPECT_EQ(help.out.compare(help.out.size() - manual.size(), manual.size(), manual), 0) << program;
        // Every option the usage line names has a line of its own.
        for (std::size_t at = 0; (at = usage.err.find("[-", at)) != std::string::npos; ++at)
            EXPECT_NE(help.out.find(std::string("\n  -") + usage.err[at + 2] + " "), std::string::npos)
                << program << ": -" << usage.err[at + 2];
        // A closed standard output is a write error, not success.
        RunResult closed = scratch.Run(bin + " --help >&-");
        EXPECT_EQ(closed.status, 1) << program;
        EXPECT_EQ(closed.err, "data write error.\n") << program;
    }
    // A file named --help is still a file: ./--help.
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 4 0 0 1 2 ./--help").status, 0);
    RunResult r = scratch.Run("\"$BIN/sino_stat\" ./--help");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.compare(0, 9, "size 4x2 "), 0) << r.out;
}

TEST(Threads, WaitingThreadsSleepUnlessTheUserChoosesAPolicy) {
    // The runtime shows how long a waiting thread spins, read as it was
    // loaded (300000 turns when nobody chose); the described programs,
    // single-threaded, load no runtime at all.
    struct Case {
        const char *program;
        bool threaded;
    };
    const Case cases[] = {{"ax_recon", false},    {"ax_expand", false},   {"disk_sino", false},   {"sino_graft", false},
                          {"sino_recon", true},   {"sino_iter", true},    {"stack_recon", true},  {"proj_sino", true},
                          {"sino_rings", true},   {"img_sino", true},     {"phantom_sino", true}, {"phantom_image", true},
                          {"sino_noise", true},   {"phase_stack", true}};
    for (const Case &c : cases) {
        Scratch scratch;
        std::string bin = std::string("OMP_DISPLAY_ENV=verbose \"$BIN/") + c.program + "\" --help >/dev/null";
        RunResult chosen = scratch.Run(bin);
        RunResult spinning = scratch.Run("OMP_WAIT_POLICY=active " + bin);
        EXPECT_EQ(chosen.status, 0) << c.program;
        if (!c.threaded) {
            EXPECT_EQ(chosen.err, "") << c.program;
            continue;
        }
        EXPECT_NE(chosen.err.find("GOMP_SPINCOUNT = '0'"), std::string::npos) << c.program << ": " << chosen.err;
        EXPECT_NE(spinning.err.find("GOMP_SPINCOUNT = '30000000000'"), std::string::npos) << c.program;
    }
}

}  // namespace
