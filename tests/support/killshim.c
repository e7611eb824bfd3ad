/* Loaded with LD_PRELOAD into a program under test, kills it (SIGKILL, as
   `kill -9` does) before a chosen step, chosen by the environment:
     VEDOMER_KILL_SQL     a statement whose text holds this is run
     VEDOMER_KILL_WRITE   a file whose path holds this is written to
     VEDOMER_KILL_RENAME  a file is renamed to a path that holds this
     VEDOMER_KILL_SKIP    that many of the chosen steps pass first (0)
   or makes the writes and syncs of a file fail instead, as a failing or
   full disk does:
     VEDOMER_FAIL_WRITE   a file whose path holds this
     VEDOMER_FAIL_ERRNO   "ENOSPC" for a full disk; otherwise EIO

   For a sweep over every step of a command it also numbers the statements
   (each run of one, at its first step) and the file calls (write, sync,
   truncate, rename, unlink) on the files below a folder:
     VEDOMER_SWEEP_DIR    the folder (relative paths count as inside it)
     VEDOMER_SWEEP_COUNT  a file that receives, at a normal exit, the number
                          of statements on its first line and one letter a
                          file call on its second (w write, s sync,
                          t truncate, r rename, u unlink)
     VEDOMER_SWEEP_POINT  "<what> <n>": at the n-th (from 1) statement or
                          file call, "before" or "after" kills before or
                          after the statement, "kill" before the file call,
                          "eio" or "enospc" fails the file call with that
                          error, "short" writes half of what was asked
   On a server (libpq) every query sent is a statement, and two more kinds
   of points cut the connection at it: "cut" before it is sent, "lose"
   once it is sent, so that the server runs it and the answer never comes.
   Nothing is numbered before the program calls vedomer_sweep_start(), so
   that the steps of its own start are left out. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

static void check(const char *variable, const char *text)
{
    static long passed = 0;
    const char *chosen = getenv(variable);
    const char *skip = getenv("VEDOMER_KILL_SKIP");
    if (chosen && *chosen && text && strstr(text, chosen) && !(skip && passed++ < atol(skip)))
        kill(getpid(), SIGKILL);
}

/* The path of `fd`, or of `path` relative to `dir` (AT_FDCWD: the working
   folder, which is inside the sweep's folder); empty when unknown. */
static void pathOf(int fd, const char *path, int dir, char *out, size_t size)
{
    char link[64];
    ssize_t n;
    *out = '\0';
    if (path && (path[0] == '/' || dir == AT_FDCWD)) {
        snprintf(out, size, "%s", path);
        return;
    }
    snprintf(link, sizeof link, "/proc/self/fd/%d", path ? dir : fd);
    n = readlink(link, out, size - 1);
    out[n > 0 ? n : 0] = '\0';
    if (n > 0 && path)
        snprintf(out + n, size - (size_t)n, "/%s", path);
}

static void checkWrite(int fd)
{
    char path[4096];
    if (!getenv("VEDOMER_KILL_WRITE"))
        return;
    pathOf(fd, NULL, 0, path, sizeof path);
    if (*path)
        check("VEDOMER_KILL_WRITE", path);
}

/* True (and errno set) when the file of `fd` is one whose writes fail. */
static int fails(int fd)
{
    const char *chosen = getenv("VEDOMER_FAIL_WRITE");
    char path[4096];
    if (!chosen || !*chosen)
        return 0;
    pathOf(fd, NULL, 0, path, sizeof path);
    if (!*path || !strstr(path, chosen))
        return 0;
    const char *which = getenv("VEDOMER_FAIL_ERRNO");
    errno = which && strcmp(which, "ENOSPC") == 0 ? ENOSPC : EIO;
    return 1;
}

/* The sweep: counts, and the one point where it strikes. */
static long statements, fileCalls;
static char calls[1 << 16];
static char pointWhat[16];
static long pointAt = -1;
static int started;

void vedomer_sweep_start(void)
{
    __atomic_store_n(&started, 1, __ATOMIC_SEQ_CST);
}

static void readPoint(void)
{
    static int read;
    const char *point;
    if (read)
        return;
    read = 1;
    point = getenv("VEDOMER_SWEEP_POINT");
    if (point && sscanf(point, "%15s %ld", pointWhat, &pointAt) != 2)
        pointAt = -1;
}

__attribute__((destructor)) static void writeCounts(void)
{
    const char *file = getenv("VEDOMER_SWEEP_COUNT");
    FILE *out = file ? fopen(file, "w") : NULL;
    if (!out)
        return;
    fprintf(out, "%ld\n%s\n", statements, calls);
    fclose(out);
}

/* Before the call of `kind` on the file: 0 to let it run, -1 (errno set) to
   fail it, or a length to write instead of `count`. */
static long fileCall(char kind, int fd, const char *path, int dir, size_t count)
{
    const char *scope = getenv("VEDOMER_SWEEP_DIR");
    char where[4096];
    long n;
    if (!scope || !*scope || !__atomic_load_n(&started, __ATOMIC_SEQ_CST))
        return 0;
    pathOf(fd, path, dir, where, sizeof where);
    if (where[0] != '/' ? !path || !*where : !strstr(where, scope))
        return 0;
    n = __atomic_add_fetch(&fileCalls, 1, __ATOMIC_SEQ_CST);
    if (n < (long)sizeof calls)
        calls[n - 1] = kind;
    readPoint();
    if (n != pointAt)
        return 0;
    if (strcmp(pointWhat, "kill") == 0)
        kill(getpid(), SIGKILL);
    if (strcmp(pointWhat, "short") == 0 && kind == 'w' && count > 1)
        return (long)(count / 2);
    if (strcmp(pointWhat, "eio") == 0 || strcmp(pointWhat, "enospc") == 0) {
        errno = pointWhat[1] == 'i' ? EIO : ENOSPC;
        return -1;
    }
    return 0;
}

/* The next definition; SQLite's and libpq's own are loaded by Qt's plugins
   into a scope that RTLD_NEXT does not search. */
static void *nextIn(const char *name, const char *libraryName)
{
    void *function = dlsym(RTLD_NEXT, name);
    void *library = function ? NULL : dlopen(libraryName, RTLD_LAZY | RTLD_NOLOAD);
    return library ? dlsym(library, name) : function;
}

static void *next(const char *name)
{
    return nextIn(name, "libsqlite3.so.0");
}

/* The n-th statement begins: 0 when not counted, else its number; killed
   here when the point is before it. */
static long statementBegins(void)
{
    long n;
    if (!__atomic_load_n(&started, __ATOMIC_SEQ_CST))
        return 0;
    n = __atomic_add_fetch(&statements, 1, __ATOMIC_SEQ_CST);
    readPoint();
    if (n == pointAt && strcmp(pointWhat, "before") == 0)
        kill(getpid(), SIGKILL);
    return n;
}

static int pointIs(long n, const char *what)
{
    return n && n == pointAt && strcmp(pointWhat, what) == 0;
}

int sqlite3_step(void *statement)
{
    static int (*real)(void *);
    static const char *(*sql)(void *);
    static int (*busy)(void *);
    long n = 0;
    int result;
    if (!real) {
        real = next("sqlite3_step");
        sql = next("sqlite3_sql");
        busy = next("sqlite3_stmt_busy");
    }
    check("VEDOMER_KILL_SQL", sql(statement));
    if (!busy(statement))
        n = statementBegins();
    result = real(statement);
    if (pointIs(n, "after"))
        kill(getpid(), SIGKILL);
    return result;
}

/* libpq: PQexec and PQexecParams send their query and read the answer with
   PQgetResult; while inside them, those are not counted again. */
static __thread int inExec;
static void *afterAnswer;

static void *pq(const char *name)
{
    return nextIn(name, "libpq.so.5");
}

/* Before the query `n` goes out on `connection`. */
static void beforeQuery(void *connection, long n)
{
    static int (*socketOf)(void *);
    socketOf = socketOf ? socketOf : pq("PQsocket");
    if (pointIs(n, "cut"))
        shutdown(socketOf(connection), SHUT_RDWR);
    if (pointIs(n, "lose"))
        shutdown(socketOf(connection), SHUT_RD);
    if (pointIs(n, "after"))
        afterAnswer = connection;
}

void *PQexec(void *connection, const char *query)
{
    static void *(*real)(void *, const char *);
    void *result;
    long n = statementBegins();
    real = real ? real : pq("PQexec");
    beforeQuery(connection, n);
    ++inExec;
    result = real(connection, query);
    --inExec;
    if (pointIs(n, "after"))
        kill(getpid(), SIGKILL);
    return result;
}

/* The program's statements with their values apart from their text. */
void *PQexecParams(void *connection, const char *command, int count, const void *types,
                   const char *const *values, const int *lengths, const int *formats, int resultFormat)
{
    static void *(*real)(void *, const char *, int, const void *, const char *const *, const int *,
                         const int *, int);
    void *result;
    long n = statementBegins();
    real = real ? real : pq("PQexecParams");
    beforeQuery(connection, n);
    ++inExec;
    result = real(connection, command, count, types, values, lengths, formats, resultFormat);
    --inExec;
    if (pointIs(n, "after"))
        kill(getpid(), SIGKILL);
    return result;
}

int PQsendQuery(void *connection, const char *query)
{
    static int (*real)(void *, const char *);
    real = real ? real : pq("PQsendQuery");
    if (!inExec)
        beforeQuery(connection, statementBegins());
    return real(connection, query);
}

void *PQgetResult(void *connection)
{
    static void *(*real)(void *);
    void *result;
    real = real ? real : pq("PQgetResult");
    result = real(connection);
    if (!result && !inExec && afterAnswer == connection)
        kill(getpid(), SIGKILL);
    return result;
}

#define WRITE_CALL(call)                                                                                     \
    long sweep = fileCall('w', fd, NULL, 0, count);                                                          \
    checkWrite(fd);                                                                                          \
    if (sweep < 0 || fails(fd))                                                                              \
        return -1;                                                                                           \
    return call

ssize_t write(int fd, const void *buffer, size_t count)
{
    static ssize_t (*real)(int, const void *, size_t);
    real = real ? real : next("write");
    WRITE_CALL(real(fd, buffer, sweep ? (size_t)sweep : count));
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off64_t offset)
{
    static ssize_t (*real)(int, const void *, size_t, off64_t);
    real = real ? real : next("pwrite64");
    WRITE_CALL(real(fd, buffer, sweep ? (size_t)sweep : count, offset));
}

ssize_t pwrite(int fd, const void *buffer, size_t count, off_t offset)
{
    static ssize_t (*real)(int, const void *, size_t, off_t);
    real = real ? real : next("pwrite");
    WRITE_CALL(real(fd, buffer, sweep ? (size_t)sweep : count, offset));
}

int fsync(int fd)
{
    static int (*real)(int);
    real = real ? real : next("fsync");
    return fileCall('s', fd, NULL, 0, 0) < 0 || fails(fd) ? -1 : real(fd);
}

int fdatasync(int fd)
{
    static int (*real)(int);
    real = real ? real : next("fdatasync");
    return fileCall('s', fd, NULL, 0, 0) < 0 || fails(fd) ? -1 : real(fd);
}

int ftruncate(int fd, off_t length)
{
    static int (*real)(int, off_t);
    real = real ? real : next("ftruncate");
    return fileCall('t', fd, NULL, 0, 0) < 0 ? -1 : real(fd, length);
}

int ftruncate64(int fd, off64_t length)
{
    static int (*real)(int, off64_t);
    real = real ? real : next("ftruncate64");
    return fileCall('t', fd, NULL, 0, 0) < 0 ? -1 : real(fd, length);
}

int rename(const char *from, const char *to)
{
    static int (*real)(const char *, const char *);
    real = real ? real : next("rename");
    check("VEDOMER_KILL_RENAME", to);
    return fileCall('r', -1, to, AT_FDCWD, 0) < 0 ? -1 : real(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    static int (*real)(int, const char *, int, const char *);
    real = real ? real : next("renameat");
    check("VEDOMER_KILL_RENAME", to);
    return fileCall('r', -1, to, toDir, 0) < 0 ? -1 : real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    static int (*real)(int, const char *, int, const char *, unsigned);
    real = real ? real : next("renameat2");
    check("VEDOMER_KILL_RENAME", to);
    return fileCall('r', -1, to, toDir, 0) < 0 ? -1 : real(fromDir, from, toDir, to, flags);
}

int unlink(const char *path)
{
    static int (*real)(const char *);
    real = real ? real : next("unlink");
    return fileCall('u', -1, path, AT_FDCWD, 0) < 0 ? -1 : real(path);
}

int unlinkat(int dir, const char *path, int flags)
{
    static int (*real)(int, const char *, int);
    real = real ? real : next("unlinkat");
    return fileCall('u', -1, path, dir, 0) < 0 ? -1 : real(dir, path, flags);
}
