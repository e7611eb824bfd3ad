/* Loaded with LD_PRELOAD into a program under test, kills it (SIGKILL, as
   `kill -9` does) before a chosen step, chosen by the environment:
     VEDOMER_KILL_SQL     a statement whose text holds this is run
     VEDOMER_KILL_WRITE   a file whose path holds this is written to
     VEDOMER_KILL_RENAME  a file is renamed to a path that holds this
     VEDOMER_KILL_SKIP    that many of the chosen steps pass first (0) */
#define _GNU_SOURCE
#include <dlfcn.h>
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
    return real(fd, buffer, count);
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off64_t offset)
{
    static ssize_t (*real)(int, const void *, size_t, off64_t);
    real = real ? real : next("pwrite64");
    checkWrite(fd);
    return real(fd, buffer, count, offset);
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
