/* Faults injected into a program from outside, for the tests that run the
 * built programs (LD_PRELOAD): a signal at the moment an output would be
 * renamed into place, a close that fails after the file was closed, and a
 * directory put in an output's place while the program runs. Each acts
 * only when its environment variable is set. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int rename(const char *from, const char *to) {
    static int (*real)(const char *, const char *);
    static int renames;
    if (real == NULL) real = (int (*)(const char *, const char *))dlsym(RTLD_NEXT, "rename");
    /* The output is complete: a signal now must still leave the old file. */
    if (getenv("CT_SHIM_SIGNAL_AT_RENAME") != NULL) raise(SIGTERM);
    /* The same with any signal (its number). */
    const char *number = getenv("CT_SHIM_RAISE_AT_RENAME");
    if (number != NULL) raise(atoi(number));
    /* SIGTERM once this many files of a set are in place. */
    const char *after = getenv("CT_SHIM_SIGNAL_AFTER_RENAMES");
    if (after != NULL && renames == atoi(after)) raise(SIGTERM);
    ++renames;
    return real(from, to);
}

int fclose(FILE *stream) {
    static int (*real)(FILE *);
    if (real == NULL) real = (int (*)(FILE *))dlsym(RTLD_NEXT, "fclose");
    /* An output's name (in the current folder) taken by a directory once
     * its temporary file ".<name>.XXXXXX" is written and closed. */
    const char *name = getenv("CT_SHIM_DIRECTORY_AT_CLOSE");
    int replace = 0;
    if (name != NULL && stream != stdin && stream != stdout && stream != stderr) {
        char link[64], path[4096], expected[4096];
        snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(stream));
        ssize_t length = readlink(link, path, sizeof path - 1);
        snprintf(expected, sizeof expected, "/.%s.", name);
        if (length > 0) {
            path[length] = '\0';
            replace = strstr(path, expected) != NULL;
        }
    }
    int result = real(stream);
    if (replace) {
        unlink(name);
        mkdir(name, 0755);
    }
    /* As a file system that reports a delayed write error at close does. */
    if (getenv("CT_SHIM_FAIL_FCLOSE") != NULL && stream != stdin && stream != stdout && stream != stderr) {
        errno = EIO;
        return EOF;
    }
    return result;
}
