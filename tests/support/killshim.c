// A library loaded with LD_PRELOAD into a program under test that kills the
// process (SIGKILL, as `kill -9` does) at a chosen step, so that tests can
// look at what a crash there leaves behind. Chosen by the environment:
//   VEDOMER_KILL_SQL     kill before running the statement whose text holds this
//   VEDOMER_KILL_WRITE   kill before writing to a file whose path holds this
//   VEDOMER_KILL_RENAME  kill before renaming (or linking) a file whose new
//                        path holds this
//   VEDOMER_KILL_SKIP    let that many of the chosen steps pass first (0)
// Nothing is changed for a program that sets none of them.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static long skipped = 0;

// Kills the process when `text` holds the chosen text of `variable` and
// enough steps have passed.
static void maybeKill(const char *variable, const char *text)
{
    const char *chosen = getenv(variable);
    if (!chosen || !*chosen || !text || !strstr(text, chosen))
        return;
    const char *skip = getenv("VEDOMER_KILL_SKIP");
    if (skip && skipped++ < atol(skip))
        return;
    kill(getpid(), SIGKILL);
}

static void maybeKillWrite(int fd)
{
    const char *chosen = getenv("VEDOMER_KILL_WRITE");
    if (!chosen || !*chosen)
        return;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return;
    path[n] = '\0';
    maybeKill("VEDOMER_KILL_WRITE", path);
}

typedef struct sqlite3_stmt sqlite3_stmt;

/* SQLite's own function. The library is loaded by Qt's plugin into a scope
   of its own, which RTLD_NEXT does not search. */
static void *sqlite(const char *name)
{
    void *function = dlsym(RTLD_NEXT, name);
    if (!function) {
        void *library = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
        function = library ? dlsym(library, name) : NULL;
    }
    return function;
}

int sqlite3_step(sqlite3_stmt *statement)
{
    static int (*real)(sqlite3_stmt *);
    if (!real)
        real = sqlite("sqlite3_step");
    static const char *(*sql)(sqlite3_stmt *);
    if (!sql)
        sql = sqlite("sqlite3_sql");
    maybeKill("VEDOMER_KILL_SQL", sql(statement));
    return real(statement);
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    static ssize_t (*real)(int, const void *, size_t);
    if (!real)
        real = dlsym(RTLD_NEXT, "write");
    maybeKillWrite(fd);
    return real(fd, buffer, count);
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off64_t offset)
{
    static ssize_t (*real)(int, const void *, size_t, off64_t);
    if (!real)
        real = dlsym(RTLD_NEXT, "pwrite64");
    maybeKillWrite(fd);
    return real(fd, buffer, count, offset);
}

int rename(const char *from, const char *to)
{
    static int (*real)(const char *, const char *);
    if (!real)
        real = dlsym(RTLD_NEXT, "rename");
    maybeKill("VEDOMER_KILL_RENAME", to);
    return real(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    static int (*real)(int, const char *, int, const char *);
    if (!real)
        real = dlsym(RTLD_NEXT, "renameat");
    maybeKill("VEDOMER_KILL_RENAME", to);
    return real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    static int (*real)(int, const char *, int, const char *, unsigned);
    if (!real)
        real = dlsym(RTLD_NEXT, "renameat2");
    maybeKill("VEDOMER_KILL_RENAME", to);
    return real(fromDir, from, toDir, to, flags);
}

int link(const char *from, const char *to)
{
    static int (*real)(const char *, const char *);
    if (!real)
        real = dlsym(RTLD_NEXT, "link");
    maybeKill("VEDOMER_KILL_RENAME", to);
    return real(from, to);
}
