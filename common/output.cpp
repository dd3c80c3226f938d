#include "output.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "blocks.h"
#include "streams.h"

namespace {

// The temporary files not yet renamed, as a list the signal handler can walk
// at any moment: entries are linked in and out with the handled signals
// blocked, and the handler only reads paths and calls unlink, which is safe
// in a handler.
struct Pending {
    Pending *next;
    char path[1];  // the temporary file's path, allocated to its length
};

Pending *pending_head = nullptr;

// Whether a signal's default action ends the process: these are the
// signals a handler must catch so that no temporary file outlives the
// process. The others are ignored by default or stop the process, and
// SIGKILL and SIGSTOP cannot be caught.
bool EndsProcess(int s) {
    switch (s) {
        case SIGKILL: case SIGSTOP: case SIGCHLD: case SIGCONT: case SIGURG: case SIGWINCH:
        case SIGTSTP: case SIGTTIN: case SIGTTOU:
            return false;
        default:
            return true;
    }
}

// Every signal is blocked (those that cannot be are not): simpler than a
// list, and what the handler and the rename of a set need.
void Block(sigset_t *saved) {
    sigset_t set;
    sigfillset(&set);
    sigprocmask(SIG_BLOCK, &set, saved);
}

void Unblock(const sigset_t *saved) { sigprocmask(SIG_SETMASK, saved, nullptr); }

// While a set of files is renamed (CommitOutputSet) every signal is blocked
// in the thread that renames; one delivered to another thread (an idle
// worker of the thread pool) is held here and raised once the set is in
// place. Faults are never held: the instruction would fault again.
volatile sig_atomic_t holding = 0;
volatile sig_atomic_t held = 0;

bool IsFault(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL || signal == SIGTRAP ||
           signal == SIGSYS;
}

extern "C" void RemoveAndResignal(int signal) {
    if (holding && !IsFault(signal)) {
        held = signal;
        return;
    }
    for (Pending *p = pending_head; p != nullptr; p = p->next) unlink(p->path);
    // Ends the process as the signal would have: the shell sees it. The
    // signal is blocked while the handler runs, so it is delivered, with
    // its default action, as the handler returns (a fault raised by an
    // instruction faults again there).
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// The handler goes in once, before the first temporary file exists, for
// every signal whose default action ends the process. A signal the process
// was started with ignored (nohup's SIGHUP) stays ignored, and one that
// already has a handler (a sanitizer's SIGSEGV) keeps it.
void InstallHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int s = 1; s <= SIGRTMAX; ++s) {
        if (!EndsProcess(s) || (s > SIGSYS && s < SIGRTMIN)) continue;  // the C library's own
        struct sigaction old;
        if (sigaction(s, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL)
            continue;
        struct sigaction act {};
        act.sa_handler = RemoveAndResignal;
        sigfillset(&act.sa_mask);
        sigaction(s, &act, nullptr);
    }
}

Pending *AddPending(const std::string &path) {
    auto *p = static_cast<Pending *>(std::malloc(sizeof(Pending) + path.size()));
    if (p == nullptr) return nullptr;
    std::memcpy(p->path, path.c_str(), path.size() + 1);
    sigset_t saved;
    Block(&saved);
    p->next = pending_head;
    pending_head = p;
    Unblock(&saved);
    return p;
}

void DropPending(void *entry) {
    if (entry == nullptr) return;
    sigset_t saved;
    Block(&saved);
    for (Pending **at = &pending_head; *at != nullptr; at = &(*at)->next) {
        if (*at == entry) {
            *at = (*at)->next;
            break;
        }
    }
    Unblock(&saved);
    std::free(entry);
}

// The permission bits of a new file: 0666 less the umask.
mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Where an output named `name` goes: a regular file (or none yet) to
// replace through a temporary file, or something written directly.
struct Destination {
    bool direct;
    std::string target;  // the file to replace (a link resolved)
    bool exists;
    mode_t mode;  // permission bits for the new file
    uid_t owner;  // the old file's owner and group, for an existing file
    gid_t group;
};

// A named output that cannot be made says why: "<name>: cannot create
// (<the system's reason>).", whenever `failure` names it ("<name>: ...");
// a failure that does not (a program's own fixed text) stays as given.
Status CreateFailure(const char *name, const char *failure, int error) {
    std::string prefix = std::string(name) + ": ";
    if (error == 0 || std::strncmp(failure, prefix.c_str(), prefix.size()) != 0) return Failure(failure);
    return Failure(prefix + "cannot create (" + std::strerror(error) + ").");
}

Status Locate(const char *name, const char *failure, Destination *d) {
    *d = Destination{true, name, false, 0, 0, 0};
    if (IsStandardStream(name)) return Success();
    struct stat info;
    if (lstat(name, &info) != 0) {
        if (errno != ENOENT) return CreateFailure(name, failure, errno);
        *d = Destination{false, name, false, NewFileMode(), 0, 0};
        return Success();
    }
    if (S_ISLNK(info.st_mode)) {
        // A link to a regular file: that file is replaced. A dangling link
        // or one to anything else is written through, as fopen would.
        char resolved[PATH_MAX];
        if (stat(name, &info) != 0 || !S_ISREG(info.st_mode) || realpath(name, resolved) == nullptr)
            return Success();
        d->target = resolved;
    } else if (!S_ISREG(info.st_mode)) {
        return Success();
    }
    // A file that may not be written is not replaced behind its back.
    if (access(d->target.c_str(), W_OK) != 0) return CreateFailure(name, failure, errno);
    d->direct = false;
    d->exists = true;
    d->mode = info.st_mode & 07777;
    d->owner = info.st_uid;
    d->group = info.st_gid;
    return Success();
}

// The folder of a path and the name in it.
void SplitPath(const std::string &path, std::string *folder, std::string *base) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder->assign(1, '.');
        *base = path;
    } else {
        *folder = slash == 0 ? std::string(1, '/') : path.substr(0, slash);
        *base = path.substr(slash + 1);
    }
}

// A new temporary file beside `target`; its descriptor, or -1 with errno
// telling why.
int MakeTemporary(const Destination &d, std::string *path) {
    std::string folder, base;
    SplitPath(d.target, &folder, &base);
    // Short enough for any file system's name limit with the suffix.
    if (base.size() > 200) base.resize(200);
    std::string pattern = folder + "/." + base + ".XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return -1;
    // The replacement keeps the old file's owner and group where the
    // process may give them (root may; others may keep a group they are in),
    // then gets the bits the result should have: mkstemp makes it 0600, and
    // a change of owner clears the set-user-ID bit.
    if (d.exists && fchown(fd, d.owner, d.group) != 0) {
        if (fchown(fd, static_cast<uid_t>(-1), d.group) != 0) {
            // The process's own group it is, then.
        }
    }
    if (fchmod(fd, d.mode) != 0) {
        int error = errno;
        close(fd);
        unlink(pattern.c_str());
        errno = error;
        return -1;
    }
    *path = pattern;
    return fd;
}

Status Begin(const char *name, const char *failure, bool open_stream, Output *out) {
    *out = Output{nullptr, "", name, nullptr, 0, 0, 0, 0};
    Destination d;
    Status located = Locate(name, failure, &d);
    if (!located.ok()) return located;
    out->target = d.target;
    if (d.direct) {
        if (!open_stream) return Success();
        out->stream = IsStandardStream(name) ? stdout : std::fopen(name, "wb");
        if (out->stream == nullptr) return CreateFailure(name, failure, errno);
        RememberStream(out->stream);
        EnlargeBuffer(out->stream);
        return Success();
    }
    InstallHandlers();
    // Blocked from before the file exists until it is listed, so that a
    // signal in between cannot leave it behind.
    sigset_t saved;
    Block(&saved);
    std::string path;
    int fd = MakeTemporary(d, &path);
    int error = errno;
    Pending *entry = fd < 0 ? nullptr : AddPending(path);
    Unblock(&saved);
    // A file that may be written in a folder that may not: fopen would
    // have written it, so the refusal says why. A new name fails as fopen
    // would.
    if (fd < 0 && !d.exists) return CreateFailure(name, failure, error);
    if (fd < 0)
        return Failure("cannot create a temporary file beside " + d.target + " (" + std::strerror(error) + ").");
    if (entry == nullptr) {
        close(fd);
        unlink(path.c_str());
        return Failure(failure);
    }
    out->temporary = path;
    out->pending = entry;
    std::string folder, base;
    SplitPath(d.target, &folder, &base);
    struct stat where;
    if (stat(folder.c_str(), &where) == 0) {
        out->folder_device = where.st_dev;
        out->folder_inode = where.st_ino;
    }
    if (d.exists && stat(d.target.c_str(), &where) == 0) {
        out->file_device = where.st_dev;
        out->file_inode = where.st_ino;
    }
    if (!open_stream) {
        close(fd);
        return Success();
    }
    out->stream = fdopen(fd, "wb");
    if (out->stream == nullptr) {
        close(fd);
        AbandonOutput(out);
        return Failure(failure);
    }
    RememberStream(out->stream);
    EnlargeBuffer(out->stream);
    return Success();
}

}  // namespace

Status OpenOutput(const char *name, const char *failure, Output *out) { return Begin(name, failure, true, out); }

Status ReserveOutput(const char *name, const char *failure, Output *out) {
    Status status = Begin(name, failure, false, out);
    if (!status.ok() || !out->temporary.empty()) return status;
    // Written directly by name: it must be writable now, as a file opened
    // here would be.
    int fd = open(name, O_WRONLY | O_CREAT, 0666);
    if (fd < 0) return CreateFailure(name, failure, errno);
    close(fd);
    return Success();
}

const std::string &OutputPath(const Output &out) { return out.temporary.empty() ? out.target : out.temporary; }

Status WriteBlock(FILE *out, const void *data, std::size_t bytes, const char *failure) {
    if (bytes < kDirectWrite) {
        if (bytes != 0 && std::fwrite(data, 1, bytes, out) != bytes) return Failure(failure);
        return Success();
    }
    // What the stream holds goes first, then the block itself.
    if (std::fflush(out) != 0) return Failure(failure);
    const char *next = static_cast<const char *>(data);
    while (bytes > 0) {
        ssize_t written = write(fileno(out), next, bytes);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Failure(failure);
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return Success();
}

Status CloseOutput(Output *out, const char *failure) {
    if (out->stream == nullptr) return Success();
    FILE *stream = out->stream;
    bool failed = std::fflush(stream) != 0 || std::ferror(stream) != 0;
    if (stream != stdout) {
        if (CloseStream(stream) != 0) failed = true;
    }
    out->stream = nullptr;
    if (failed) return Failure(failure);
    return Success();
}

Status FlushStandardOutput(const char *failure) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return Failure(failure);
    return Success();
}

Status CommitOutput(Output *out, const char *failure) {
    if (out->temporary.empty()) return Success();
    if (rename(out->temporary.c_str(), out->target.c_str()) != 0) {
        AbandonOutput(out);
        return Failure(failure);
    }
    out->temporary.clear();
    DropPending(out->pending);
    out->pending = nullptr;
    return Success();
}

namespace {

// Whether the rename of a closed temporary file over its target can be
// expected to succeed.
bool Replaceable(const Output &out) {
    struct stat info;
    if (lstat(out.temporary.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (lstat(out.target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return false;
    } else if (errno != ENOENT) {
        return false;
    }
    std::string folder, base;
    SplitPath(out.target, &folder, &base);
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

Status CommitOutputSet(Output *files, std::size_t count, const char *failure) {
    sigset_t saved;
    Block(&saved);
    holding = 1;
    Status status;
    for (std::size_t i = 0; status.ok() && i < count; ++i) {
        if (!files[i].temporary.empty() && !Replaceable(files[i])) status = Failure(About(files[i].target, failure));
    }
    for (std::size_t i = 0; status.ok() && i < count; ++i) {
        std::string message = About(files[i].target, failure);
        status = CommitOutput(&files[i], message.c_str());
    }
    holding = 0;
    int signal = held;
    held = 0;
    Unblock(&saved);
    // A signal another thread took while the files were renamed ends the
    // process now, as it would have.
    if (signal != 0) raise(signal);
    return status;
}

bool NoteOutputName(const Output &out, OutputNames *names) {
    if (out.temporary.empty()) return true;
    std::string folder, base;
    SplitPath(out.target, &folder, &base);
    if (!names->places.insert({out.folder_device, out.folder_inode, base}).second) return false;
    if (out.file_inode != 0 && !names->files.insert({out.file_device, out.file_inode}).second) return false;
    return true;
}

bool ReplacesStandardOutput(const Output &out) {
    struct stat standard;
    return !out.temporary.empty() && out.file_inode != 0 && fstat(STDOUT_FILENO, &standard) == 0 &&
           standard.st_dev == out.file_device && standard.st_ino == out.file_inode;
}

Status FinishOutput(Output *out, const char *failure) {
    Status closed = CloseOutput(out, failure);
    if (!closed.ok()) return closed;
    return CommitOutput(out, failure);
}

void AbandonOutput(Output *out) {
    if (out->stream != nullptr && out->stream != stdout) {
        CloseStream(out->stream);
    }
    out->stream = nullptr;
    if (!out->temporary.empty()) unlink(out->temporary.c_str());
    out->temporary.clear();
    DropPending(out->pending);
    out->pending = nullptr;
}

void RemovePendingOutputs() {
    sigset_t saved;
    Block(&saved);
    while (pending_head != nullptr) {
        Pending *p = pending_head;
        pending_head = p->next;
        unlink(p->path);
        std::free(p);
    }
    Unblock(&saved);
}

bool WritesInto(FILE *in, const char *output) {
    struct stat source, target;
    if (fstat(fileno(in), &source) != 0 || !S_ISREG(source.st_mode)) return false;
    if (IsStandardStream(output)) {
        return fstat(STDOUT_FILENO, &target) == 0 && source.st_dev == target.st_dev &&
               source.st_ino == target.st_ino;
    }
    // A named output: written directly only when it is not a regular file,
    // and then it cannot be this regular file.
    return false;
}
