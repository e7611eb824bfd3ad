/* Loaded with LD_PRELOAD into a program under test, kills it (SIGKILL, as
   `kill -9` does) before a chosen step, chosen by the environment:
     VEDOMER_KILL_SQL     a statement whose text holds this is run
     VEDOMER_KILL_WRITE   a file whose path holds this is written to
     VEDOMER_KILL_RENAME  a file is renamed to a path that holds this
     VEDOMER_KILL_SKIP    that many of the chosen steps pass first (0)
   or makes the writes and syncs of a file fail instead, as a failing or
   full disk does:
     VEDOMER_FAIL_WRITE   a file whose path holds this
     VEDOMER_FAIL_ERRNO   "ENOSPC" for a full disk; otherwise EIO */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void check(const char *variable, const char *text)
{
    static long passed = 0;
    const char *chosen = getenv(variable);
    const char *skip = getenv("VEDOMER_KILL_SKIP");
    if (chosen && *chosen && text && strstr(text, chosen) && !(skip && passed++ < atol(skip)))
        kill(getpid(), SIGKILL);
}

static void checkWrite(int fd)
{
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = getenv("VEDOMER_KILL_WRITE") ? readlink(link, path, sizeof path - 1) : -1;
    if (n > 0) {
        path[n] = '\0';
        check("VEDOMER_KILL_WRITE", path);
    }
}

/* True (and errno set) when the file of `fd` is one whose writes fail. */
static int fails(int fd)
{
    const char *chosen = getenv("VEDOMER_FAIL_WRITE");
    char link[64], path[4096];
    if (!chosen || !*chosen)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    if (!strstr(path, chosen))
        return 0;
    const char *which = getenv("VEDOMER_FAIL_ERRNO");
    errno = which && strcmp(which, "ENOSPC") == 0 ? ENOSPC : EIO;
    return 1;
}

/* The next definition; SQLite's own is loaded by Qt's plugin into a scope
   that RTLD_NEXT does not search. */
static void *next(const char *name)
{
    void *function = dlsym(RTLD_NEXT, name);
    void *library = function ? NULL : dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
    return library ? dlsym(library, name) : function;
}

int sqlite3_step(void *statement)
{
    static int (*real)(void *);
    static const char *(*sql)(void *);
    if (!real) {
        real = next("sqlite3_step");
        sql = next("sqlite3_sql");
    }
    check("VEDOMER_KILL_SQL", sql(statement));
    return real(statement);
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    static ssize_t (*real)(int, const void *, size_t);
    real = real ? real : next("write");
    checkWrite(fd);
    return fails(fd) ? -1 : real(fd, buffer, count);
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off64_t offset)
{
    static ssize_t (*real)(int, const void *, size_t, off64_t);
    real = real ? real : next("pwrite64");
    checkWrite(fd);
    return fails(fd) ? -1 : real(fd, buffer, count, offset);
}

int fsync(int fd)
{
    static int (*real)(int);
    real = real ? real : next("fsync");
    return fails(fd) ? -1 : real(fd);
}

int fdatasync(int fd)
{
    static int (*real)(int);
    real = real ? real : next("fdatasync");
    return fails(fd) ? -1 : real(fd);
}

int rename(const char *from, const char *to)
{
    static int (*real)(const char *, const char *);
    real = real ? real : next("rename");
    check("VEDOMER_KILL_RENAME", to);
    return real(from, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    static int (*real)(int, const char *, int, const char *, unsigned);
    real = real ? real : next("renameat2");
    check("VEDOMER_KILL_RENAME", to);
    return real(fromDir, from, toDir, to, flags);
}
