/* The fault seam of the I/O fault test: a library preloaded into the program
 * (LD_PRELOAD) that stands in front of the C library's calls on files, counts
 * them and makes one of them fail. Settings come from the environment:
 *
 *   TALLYCNV_FAULT_CALLS   the kinds of call counted, comma-separated, from
 *                          open, read, write, close, fsync, rename, unlink,
 *                          mkdir (default: all)
 *   TALLYCNV_FAULT_AT      the counted call (from 1) that fails; unset or 0: none
 *   TALLYCNV_FAULT_MODE    how it fails: eio, enospc, eintr, eagain (the call
 *                          returns -1 with that errno) or short (a read or write
 *                          of n bytes moves (n + 1) / 2 of them)
 *   TALLYCNV_FAULT_COUNTS  a file that receives, at exit, one line "KIND COUNT"
 *                          per kind, then "fopen COUNT" and "faulted N KIND"
 *                          (the number of the call made to fail and its kind;
 *                          "faulted 0 none" if none was)
 *
 * Only calls on files count: every open, rename, unlink and mkdir, and the
 * reads, writes, syncs and closes of descriptors an open returned. Standard
 * input, output and error and descriptors from elsewhere pass through
 * uncounted, so a single run makes the same sequence of counted calls every
 * time, whoever started it. A batch makes the same calls every time, but its
 * threads interleave them: even with one job, the main thread puts a report
 * in place while the job reads the next source.
 *
 * A failing close releases the descriptor first, as Linux does whatever close
 * reports. The short mode applies to reads and writes, eagain as well; on
 * another kind the counted call passes through unharmed. Files opened through
 * C streams (fopen) are counted apart: their calls escape the seam, as do
 * calls it does not stand in front of (pwrite, writev, dup). */
#undef _FORTIFY_SOURCE
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum kind { k_open, k_read, k_write, k_close, k_fsync, k_rename, k_unlink, k_mkdir, kind_count };
static const char* const kind_names[kind_count] = {"open",  "read",   "write",  "close",
                                                   "fsync", "rename", "unlink", "mkdir"};

enum mode { m_none, m_eio, m_enospc, m_eintr, m_eagain, m_short };

#define FD_LIMIT 4096

static struct {
    int ready;
    unsigned counted_kinds;
    long at;
    enum mode mode;
    long counted;
    long faulted;
    enum kind faulted_kind;
    long calls[kind_count];
    long stdio_opens;
    unsigned char tracked[FD_LIMIT];
} seam;

static void* real(const char* name) {
    void* fn = dlsym(RTLD_NEXT, name);
    if (fn == NULL) {
        fprintf(stderr, "fault_inject: no %s\n", name);
        abort();
    }
    return fn;
}

#define REAL(name, type) ((type)real_##name())
#define DEFINE_REAL(name, type)                                                                              \
    static void* real_##name(void) {                                                                         \
        static void* fn;                                                                                     \
        if (fn == NULL) {                                                                                    \
            fn = real(#name);                                                                                \
        }                                                                                                    \
        return fn;                                                                                           \
    }
DEFINE_REAL(open, int (*)(const char*, int, ...))
DEFINE_REAL(open64, int (*)(const char*, int, ...))
DEFINE_REAL(openat, int (*)(int, const char*, int, ...))
DEFINE_REAL(openat64, int (*)(int, const char*, int, ...))
DEFINE_REAL(creat, int (*)(const char*, mode_t))
DEFINE_REAL(mkstemp, int (*)(char*))
DEFINE_REAL(mkostemp, int (*)(char*, int))
DEFINE_REAL(read, ssize_t (*)(int, void*, size_t))
DEFINE_REAL(write, ssize_t (*)(int, const void*, size_t))
DEFINE_REAL(close, int (*)(int))
DEFINE_REAL(fsync, int (*)(int))
DEFINE_REAL(fdatasync, int (*)(int))
DEFINE_REAL(rename, int (*)(const char*, const char*))
DEFINE_REAL(renameat, int (*)(int, const char*, int, const char*))
DEFINE_REAL(renameat2, int (*)(int, const char*, int, const char*, unsigned))
DEFINE_REAL(unlink, int (*)(const char*))
DEFINE_REAL(unlinkat, int (*)(int, const char*, int))
DEFINE_REAL(mkdir, int (*)(const char*, mode_t))
DEFINE_REAL(mkdirat, int (*)(int, const char*, mode_t))
DEFINE_REAL(fopen, FILE* (*)(const char*, const char*))
DEFINE_REAL(fopen64, FILE* (*)(const char*, const char*))

static void setup(void) {
    if (seam.ready) {
        return;
    }
    seam.ready = 1;
    const char* calls = getenv("TALLYCNV_FAULT_CALLS");
    if (calls == NULL) {
        seam.counted_kinds = (1u << kind_count) - 1;
    } else {
        for (int k = 0; k < kind_count; ++k) {
            const size_t n = strlen(kind_names[k]);
            for (const char* p = strstr(calls, kind_names[k]); p != NULL; p = strstr(p + 1, kind_names[k])) {
                if ((p == calls || p[-1] == ',') && (p[n] == ',' || p[n] == '\0')) {
                    seam.counted_kinds |= 1u << k;
                }
            }
        }
    }
    const char* at = getenv("TALLYCNV_FAULT_AT");
    seam.at = at != NULL ? atol(at) : 0;
    const char* mode = getenv("TALLYCNV_FAULT_MODE");
    static const struct {
        const char* name;
        enum mode mode;
    } modes[] = {
        {"eio", m_eio}, {"enospc", m_enospc}, {"eintr", m_eintr}, {"eagain", m_eagain}, {"short", m_short}};
    for (size_t i = 0; mode != NULL && i < sizeof modes / sizeof modes[0]; ++i) {
        if (strcmp(mode, modes[i].name) == 0) {
            seam.mode = modes[i].mode;
        }
    }
    if (seam.at > 0 && seam.mode == m_none) {
        fprintf(stderr, "fault_inject: TALLYCNV_FAULT_MODE must be eio, enospc, eintr, eagain or short\n");
        abort();
    }
}

static int is_tracked(int fd) {
    return fd >= 0 && fd < FD_LIMIT && __atomic_load_n(&seam.tracked[fd], __ATOMIC_SEQ_CST);
}

static void track(int fd, unsigned char on) {
    if (fd >= 0 && fd < FD_LIMIT) {
        __atomic_store_n(&seam.tracked[fd], on, __ATOMIC_SEQ_CST);
    }
}

/* Counts a call; the fault it is to suffer, or m_none. */
static enum mode count(enum kind k) {
    setup();
    __atomic_add_fetch(&seam.calls[k], 1, __ATOMIC_SEQ_CST);
    if ((seam.counted_kinds & (1u << k)) == 0) {
        return m_none;
    }
    const long n = __atomic_add_fetch(&seam.counted, 1, __ATOMIC_SEQ_CST);
    if (n != seam.at) {
        return m_none;
    }
    const int moves_bytes = k == k_read || k == k_write;
    if ((seam.mode == m_short || seam.mode == m_eagain) && !moves_bytes) {
        return m_none;
    }
    seam.faulted = n;
    seam.faulted_kind = k;
    return seam.mode;
}

static int fail_with(enum mode m) {
    errno = m == m_eio ? EIO : m == m_enospc ? ENOSPC : m == m_eintr ? EINTR : EAGAIN;
    return -1;
}

/* The opens: every form the C library offers, all counted as one kind. */
static int opened(int fd) {
    if (fd >= 0) {
        track(fd, 1);
    }
    return fd;
}

static mode_t mode_argument(int flags, va_list args) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

#define OPEN_FORM(name, params, call)                                                                        \
    int name params {                                                                                        \
        va_list args;                                                                                        \
        va_start(args, flags);                                                                               \
        const mode_t mode = mode_argument(flags, args);                                                      \
        va_end(args);                                                                                        \
        const enum mode m = count(k_open);                                                                   \
        if (m != m_none) {                                                                                   \
            return fail_with(m);                                                                             \
        }                                                                                                    \
        return opened(call);                                                                                 \
    }
OPEN_FORM(open, (const char* path, int flags, ...),
          REAL(open, int (*)(const char*, int, ...))(path, flags, mode))
OPEN_FORM(open64, (const char* path, int flags, ...),
          REAL(open64, int (*)(const char*, int, ...))(path, flags, mode))
OPEN_FORM(openat, (int dir, const char* path, int flags, ...),
          REAL(openat, int (*)(int, const char*, int, ...))(dir, path, flags, mode))
OPEN_FORM(openat64, (int dir, const char* path, int flags, ...),
          REAL(openat64, int (*)(int, const char*, int, ...))(dir, path, flags, mode))

/* The forms a fortified build calls. */
int __open_2(const char* path, int flags) {
    return open(path, flags);
}
int __open64_2(const char* path, int flags) {
    return open64(path, flags);
}
int __openat_2(int dir, const char* path, int flags) {
    return openat(dir, path, flags);
}

int creat(const char* path, mode_t mode) {
    const enum mode m = count(k_open);
    return m != m_none ? fail_with(m) : opened(REAL(creat, int (*)(const char*, mode_t))(path, mode));
}

/* Temporary files: the C library opens them with its own call. */
int mkstemp(char* pattern) {
    const enum mode m = count(k_open);
    return m != m_none ? fail_with(m) : opened(REAL(mkstemp, int (*)(char*))(pattern));
}

int mkostemp(char* pattern, int flags) {
    const enum mode m = count(k_open);
    return m != m_none ? fail_with(m) : opened(REAL(mkostemp, int (*)(char*, int))(pattern, flags));
}

ssize_t read(int fd, void* to, size_t size) {
    ssize_t (*const next)(int, void*, size_t) = REAL(read, ssize_t(*)(int, void*, size_t));
    if (!is_tracked(fd)) {
        return next(fd, to, size);
    }
    const enum mode m = count(k_read);
    if (m == m_short) {
        return next(fd, to, (size + 1) / 2);
    }
    return m != m_none ? fail_with(m) : next(fd, to, size);
}

ssize_t __read_chk(int fd, void* to, size_t size, size_t room) {
    if (size > room) {
        abort();
    }
    return read(fd, to, size);
}

ssize_t write(int fd, const void* from, size_t size) {
    ssize_t (*const next)(int, const void*, size_t) = REAL(write, ssize_t(*)(int, const void*, size_t));
    if (!is_tracked(fd)) {
        return next(fd, from, size);
    }
    const enum mode m = count(k_write);
    if (m == m_short) {
        return next(fd, from, (size + 1) / 2);
    }
    return m != m_none ? fail_with(m) : next(fd, from, size);
}

int close(int fd) {
    int (*const next)(int) = REAL(close, int (*)(int));
    if (!is_tracked(fd)) {
        return next(fd);
    }
    track(fd, 0);
    const enum mode m = count(k_close);
    const int result = next(fd);
    return m != m_none ? fail_with(m) : result;
}

/* A sync that fails is a write-back that failed: the file is not on the disk. */
int fsync(int fd) {
    int (*const next)(int) = REAL(fsync, int (*)(int));
    if (!is_tracked(fd)) {
        return next(fd);
    }
    const enum mode m = count(k_fsync);
    return m != m_none ? fail_with(m) : next(fd);
}

int fdatasync(int fd) {
    int (*const next)(int) = REAL(fdatasync, int (*)(int));
    if (!is_tracked(fd)) {
        return next(fd);
    }
    const enum mode m = count(k_fsync);
    return m != m_none ? fail_with(m) : next(fd);
}

int rename(const char* from, const char* to) {
    const enum mode m = count(k_rename);
    return m != m_none ? fail_with(m) : REAL(rename, int (*)(const char*, const char*))(from, to);
}

int renameat(int from_dir, const char* from, int to_dir, const char* to) {
    const enum mode m = count(k_rename);
    return m != m_none
               ? fail_with(m)
               : REAL(renameat, int (*)(int, const char*, int, const char*))(from_dir, from, to_dir, to);
}

int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags) {
    const enum mode m = count(k_rename);
    return m != m_none ? fail_with(m)
                       : REAL(renameat2, int (*)(int, const char*, int, const char*, unsigned))(
                             from_dir, from, to_dir, to, flags);
}

int unlink(const char* path) {
    const enum mode m = count(k_unlink);
    return m != m_none ? fail_with(m) : REAL(unlink, int (*)(const char*))(path);
}

int unlinkat(int dir, const char* path, int flags) {
    const enum mode m = count(k_unlink);
    return m != m_none ? fail_with(m) : REAL(unlinkat, int (*)(int, const char*, int))(dir, path, flags);
}

int mkdir(const char* path, mode_t mode) {
    const enum mode m = count(k_mkdir);
    return m != m_none ? fail_with(m) : REAL(mkdir, int (*)(const char*, mode_t))(path, mode);
}

int mkdirat(int dir, const char* path, mode_t mode) {
    const enum mode m = count(k_mkdir);
    return m != m_none ? fail_with(m) : REAL(mkdirat, int (*)(int, const char*, mode_t))(dir, path, mode);
}

/* A C stream reads and writes through the C library's own calls, which this
 * library cannot see: such opens are counted apart, so that a test can tell
 * that every file of the run went through the seam. */
FILE* fopen(const char* path, const char* how) {
    setup();
    __atomic_add_fetch(&seam.stdio_opens, 1, __ATOMIC_SEQ_CST);
    return REAL(fopen, FILE * (*)(const char*, const char*))(path, how);
}

FILE* fopen64(const char* path, const char* how) {
    setup();
    __atomic_add_fetch(&seam.stdio_opens, 1, __ATOMIC_SEQ_CST);
    return REAL(fopen64, FILE * (*)(const char*, const char*))(path, how);
}

__attribute__((destructor)) static void write_counts(void) {
    const char* path = getenv("TALLYCNV_FAULT_COUNTS");
    if (path == NULL) {
        return;
    }
    char text[512];
    int used = 0;
    for (int k = 0; k < kind_count; ++k) {
        used += snprintf(text + used, sizeof text - (size_t)used, "%s %ld\n", kind_names[k], seam.calls[k]);
    }
    used += snprintf(text + used, sizeof text - (size_t)used, "fopen %ld\nfaulted %ld %s\n", seam.stdio_opens,
                     seam.faulted, seam.faulted > 0 ? kind_names[seam.faulted_kind] : "none");
    const int fd =
        REAL(open, int (*)(const char*, int, ...))(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        REAL(write, ssize_t(*)(int, const void*, size_t))(fd, text, (size_t)used);
        REAL(close, int (*)(int))(fd);
    }
}
