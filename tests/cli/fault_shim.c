/* Faults injected into a program from outside, for the tests that run the
 * built programs (LD_PRELOAD): a signal at the moment an output would be
 * renamed into place, and a close that fails after the file was closed.
 * Each acts only when its environment variable is set. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

int rename(const char *from, const char *to) {
    static int (*real)(const char *, const char *);
    if (real == NULL) real = (int (*)(const char *, const char *))dlsym(RTLD_NEXT, "rename");
    /* The output is complete: a signal now must still leave the old file. */
    if (getenv("CT_SHIM_SIGNAL_AT_RENAME") != NULL) raise(SIGTERM);
    return real(from, to);
}

int fclose(FILE *stream) {
    static int (*real)(FILE *);
    if (real == NULL) real = (int (*)(FILE *))dlsym(RTLD_NEXT, "fclose");
    int result = real(stream);
    /* As a file system that reports a delayed write error at close does. */
    if (getenv("CT_SHIM_FAIL_FCLOSE") != NULL && stream != stdin && stream != stdout && stream != stderr) {
        errno = EIO;
        return EOF;
    }
    return result;
}
