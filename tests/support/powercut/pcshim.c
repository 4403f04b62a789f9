// A test tool: a simulated power cut for the files of one folder, for a child process started
// with it in LD_PRELOAD. A kill -9 keeps every write the kernel holds; a power cut loses whatever
// no fsync had yet made durable, in any order. This models that file-system view only (not a disk
// that lies about fsync); files outside the folder are kept whole.
//
// Power-cut shim (LD_PRELOAD). For regular files directly inside $PC_DIR it keeps, per inode, an
// undo log of the byte ranges written since that inode's last fsync/fdatasync, and, per folder,
// the creates, renames and unlinks since the folder's last fsync (a directory fd).
// At the $PC_N-th counted event (1-based; 0 = never; $PC_EVENTS=writes counts write calls only,
// "all" also fsync/fdatasync/ftruncate/rename/unlink/create) it does not perform that call but
// simulates a power cut: each unsynced write is undone with probability 1/2 (newest first; bytes
// past the old end of file become zeroes; with $PC_TEAR=1 one 512-byte sector of one kept write is
// put back to its old bytes), a file whose size grew since its last sync is cut back to that size
// with probability 1/2 when no kept write lies past it; then each unsynced create/rename/unlink
// is undone with probability 1/2 (newest first; a replaced or unlinked file comes back from a
// hard link kept in $PC_STASH); then _exit(9). $PC_N = -1: cut at process exit instead.
// $PC_NOUNDO=1: stop at the N-th event and undo nothing (a kill -9 at exactly that call).
// $PC_SEED seeds the coin. $PC_LOG gets one line per decision; $PC_COUNT gets the event count at exit.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

typedef struct { off_t off; size_t len; char* old; size_t oldlen; off_t oldsize; } Rec;
typedef struct { dev_t dev; ino_t ino; int keepfd; off_t syncedsize; Rec* recs; int n, cap; char path[PATH_MAX]; } Ino;
typedef struct { int kind; char a[PATH_MAX]; char b[PATH_MAX]; char stash[PATH_MAX]; } DirOp; // 1 create 2 rename 3 unlink

static pthread_mutex_t mu = PTHREAD_MUTEX_INITIALIZER;
static Ino* inos; static int ninos, capinos;
static DirOp* ops; static int nops, capops;
static char dir[PATH_MAX]; static size_t dirlen; static int active;
static long target, count; static int allev, tear; static unsigned long long rs = 88172645463325252ULL;
static char stashdir[PATH_MAX]; static int stashn; static FILE* logf; static int incut;

static ssize_t (*r_write)(int, const void*, size_t);
static ssize_t (*r_pwrite)(int, const void*, size_t, off_t);
static ssize_t (*r_pwrite64)(int, const void*, size_t, off_t);
static ssize_t (*r_writev)(int, const struct iovec*, int);
static int (*r_open)(const char*, int, ...);
static int (*r_open64)(const char*, int, ...);
static int (*r_openat)(int, const char*, int, ...);
static int (*r_fsync)(int);
static int (*r_fdatasync)(int);
static int (*r_ftruncate)(int, off_t);
static int (*r_ftruncate64)(int, off_t);
static int (*r_rename)(const char*, const char*);
static int (*r_renameat)(int, const char*, int, const char*);
static int (*r_renameat2)(int, const char*, int, const char*, unsigned);
static int (*r_unlink)(const char*);
static int (*r_unlinkat)(int, const char*, int);

static unsigned coin(void) { rs ^= rs << 13; rs ^= rs >> 7; rs ^= rs << 17; return (unsigned)(rs >> 11) & 1u; }
static void lg(const char* fmt, ...) { if (!logf) return; va_list ap; va_start(ap, fmt); vfprintf(logf, fmt, ap); va_end(ap); fputc('\n', logf); fflush(logf); }

static void cut(const char* why);
static void finish(void);

__attribute__((constructor)) static void init(void)
{
#define L(x) r_##x = dlsym(RTLD_NEXT, #x)
    L(write); L(pwrite); L(pwrite64); L(writev); L(open); L(open64); L(openat); L(fsync); L(fdatasync);
    L(ftruncate); L(ftruncate64); L(rename); L(renameat); L(renameat2); L(unlink); L(unlinkat);
    const char* d = getenv("PC_DIR");
    if (!d || !realpath(d, dir)) return;
    dirlen = strlen(dir); active = 1;
    const char* n = getenv("PC_N"); target = n ? atol(n) : 0;
    const char* e = getenv("PC_EVENTS"); allev = e && !strcmp(e, "all");
    tear = getenv("PC_TEAR") && atoi(getenv("PC_TEAR"));
    const char* s = getenv("PC_SEED"); if (s) rs ^= strtoull(s, 0, 10) * 0x9E3779B97F4A7C15ULL; if (!rs) rs = 1;
    const char* st = getenv("PC_STASH"); if (st) snprintf(stashdir, sizeof stashdir, "%s", st);
    const char* l = getenv("PC_LOG"); if (l) logf = fopen(l, "a");
    atexit(finish);
}

// The absolute path of `p` (relative to dirfd) when it names an entry directly in dir.
static int inDir(int dfd, const char* p, char* out)
{
    char buf[PATH_MAX];
    if (!active || !p) return 0;
    if (p[0] == '/') snprintf(buf, sizeof buf, "%s", p);
    else {
        char base[PATH_MAX];
        if (dfd == AT_FDCWD) { if (!getcwd(base, sizeof base)) return 0; }
        else { char lk[64]; snprintf(lk, sizeof lk, "/proc/self/fd/%d", dfd); ssize_t k = readlink(lk, base, sizeof base - 1); if (k < 0) return 0; base[k] = 0; }
        snprintf(buf, sizeof buf, "%s/%s", base, p);
    }
    char* sl = strrchr(buf, '/');
    if (!sl) return 0;
    *sl = 0;
    char rp[PATH_MAX];
    if (!realpath(buf[0] ? buf : "/", rp)) return 0;
    if (strcmp(rp, dir) != 0) return 0;
    snprintf(out, PATH_MAX, "%s/%s", rp, sl + 1);
    return 1;
}

static Ino* findIno(dev_t dv, ino_t in) { for (int i = 0; i < ninos; ++i) if (inos[i].dev == dv && inos[i].ino == in) return &inos[i]; return 0; }
static Ino* inoOfFd(int fd) { struct stat s; if (!active || fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) return 0; return findIno(s.st_dev, s.st_ino); }

static void track(int fd, const char* path)
{
    struct stat s;
    if (fd < 0 || fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) return;
    Ino* x = findIno(s.st_dev, s.st_ino);
    if (!x) {
        if (ninos == capinos) { capinos = capinos ? capinos * 2 : 32; inos = realloc(inos, sizeof(Ino) * capinos); }
        x = &inos[ninos++]; memset(x, 0, sizeof *x);
        x->dev = s.st_dev; x->ino = s.st_ino; x->syncedsize = s.st_size;
        char lk[64]; snprintf(lk, sizeof lk, "/proc/self/fd/%d", fd);
        x->keepfd = r_open(lk, O_RDWR | O_CLOEXEC);
        if (x->keepfd < 0) x->keepfd = r_open(lk, O_RDONLY | O_CLOEXEC);
    }
    snprintf(x->path, sizeof x->path, "%s", path);
}

static void addOp(int kind, const char* a, const char* b, const char* stash)
{
    if (nops == capops) { capops = capops ? capops * 2 : 32; ops = realloc(ops, sizeof(DirOp) * capops); }
    DirOp* o = &ops[nops++]; o->kind = kind;
    snprintf(o->a, PATH_MAX, "%s", a ? a : ""); snprintf(o->b, PATH_MAX, "%s", b ? b : ""); snprintf(o->stash, PATH_MAX, "%s", stash ? stash : "");
}

// Keeps the inode at `path` alive under a stash name; answers the stash path or "".
static void keepCopy(const char* path, char* out)
{
    out[0] = 0;
    if (!stashdir[0]) return;
    char s[PATH_MAX]; snprintf(s, sizeof s, "%s/k%d-%d", stashdir, (int)getpid(), ++stashn);
    if (link(path, s) == 0) snprintf(out, PATH_MAX, "%s", s);
}

// Counts one event; answers 1 when this event is the cut (the caller then does not run).
static int event(const char* what)
{
    if (!active || incut) return 0;
    ++count;
    if (target > 0 && count == target) { cut(what); return 1; }
    return 0;
}

static void record(Ino* x, off_t off, size_t len)
{
    if (x->n == x->cap) { x->cap = x->cap ? x->cap * 2 : 64; x->recs = realloc(x->recs, sizeof(Rec) * x->cap); }
    Rec* r = &x->recs[x->n++];
    struct stat s; fstat(x->keepfd, &s);
    r->off = off; r->len = len; r->oldsize = s.st_size; r->old = malloc(len ? len : 1);
    ssize_t k = pread(x->keepfd, r->old, len, off);
    r->oldlen = k > 0 ? (size_t)k : 0;
}

static void cut(const char* why)
{
    incut = 1;
    lg("CUT at event %ld (%s); inodes %d, dir ops %d", count, why, ninos, nops);
    if (getenv("PC_NOUNDO") && atoi(getenv("PC_NOUNDO"))) { lg("  no undo (kill -9 model)"); if (logf) fclose(logf); _exit(9); }
    int undone = 0, kept = 0;
    for (int i = 0; i < ninos; ++i) {
        Ino* x = &inos[i];
        int teared = !tear;
        off_t keptEnd = 0;
        char* undoneMask = calloc(x->n + 1, 1);
        for (int j = x->n - 1; j >= 0; --j) {
            Rec* r = &x->recs[j];
            if (coin()) {
                undoneMask[j] = 1; ++undone;
                if (r->oldlen) r_pwrite(x->keepfd, r->old, r->oldlen, r->off);
                if (r->oldlen < r->len) {
                    size_t z = r->len - r->oldlen; char* zero = calloc(z, 1);
                    r_pwrite(x->keepfd, zero, z, r->off + (off_t)r->oldlen); free(zero);
                }
            } else {
                ++kept;
                if ((off_t)(r->off + r->len) > keptEnd) keptEnd = r->off + (off_t)r->len;
            }
        }
        if (!teared) {
            for (int j = 0; j < x->n && !teared; ++j) {
                Rec* r = &x->recs[j];
                if (undoneMask[j] || r->len < 1024) continue;
                off_t s0 = ((r->off + 511) / 512) * 512;
                if (s0 + 512 > r->off + (off_t)r->len) continue;
                size_t rel = (size_t)(s0 - r->off);
                char buf[512]; memset(buf, 0, 512);
                if (rel < r->oldlen) memcpy(buf, r->old + rel, r->oldlen - rel < 512 ? r->oldlen - rel : 512);
                r_pwrite(x->keepfd, buf, 512, s0);
                lg("  tear %s sector at %lld", x->path, (long long)s0);
                teared = 1;
            }
        }
        struct stat s; fstat(x->keepfd, &s);
        if (x->n && s.st_size > x->syncedsize && keptEnd <= x->syncedsize && coin()) {
            r_ftruncate(x->keepfd, x->syncedsize);
            lg("  size of %s back to %lld", x->path, (long long)x->syncedsize);
        }
        if (x->n) {
            int u = 0; for (int j = 0; j < x->n; ++j) u += undoneMask[j];
            lg("  %s: %d unsynced writes, %d undone", x->path, x->n, u);
        }
        free(undoneMask);
    }
    for (int i = nops - 1; i >= 0; --i) {
        DirOp* o = &ops[i];
        const char* k = o->kind == 1 ? "create" : o->kind == 2 ? "rename" : "unlink";
        if (!coin()) { lg("  keep %s %s %s", k, o->a, o->b); continue; }
        int ok = 0;
        if (o->kind == 1) ok = r_unlink(o->a) == 0;
        else if (o->kind == 2) {
            ok = r_rename(o->b, o->a) == 0;
            if (ok && o->stash[0]) ok = link(o->stash, o->b) == 0;
        } else if (o->kind == 3) ok = o->stash[0] && link(o->stash, o->a) == 0;
        lg("  UNDO %s %s %s: %s", k, o->a, o->b, ok ? "done" : "could not");
    }
    lg("  writes undone %d kept %d", undone, kept);
    if (logf) fclose(logf);
    _exit(9);
}

static void finish(void)
{
    const char* c = getenv("PC_COUNT");
    if (c && active) { FILE* f = fopen(c, "w"); if (f) { fprintf(f, "%ld\n", count); fclose(f); } }
    if (active && target == -1) cut("exit");
}

static int doOpen(int dfd, const char* p, int flags, mode_t mode, int which)
{
    char abs[PATH_MAX];
    int tracked = 0, existed = 1;
    pthread_mutex_lock(&mu);
    if (inDir(dfd, p, abs)) {
        tracked = 1;
        struct stat s;
        existed = stat(abs, &s) == 0;
        if ((flags & O_CREAT) && !existed && event("create")) return -1;
        if ((flags & O_TRUNC) && existed && s.st_size > 0) {
            // Truncation on open: recorded as a write of the whole old content.
            int fd0 = r_open(abs, O_RDONLY | O_CLOEXEC);
            if (fd0 >= 0) { track(fd0, abs); Ino* x = inoOfFd(fd0); if (x) record(x, 0, (size_t)s.st_size); }
        }
    }
    int fd = which == 0 ? r_open(p, flags, mode) : which == 1 ? r_open64(p, flags, mode) : r_openat(dfd, p, flags, mode);
    if (tracked && fd >= 0) {
        track(fd, abs);
        if ((flags & O_CREAT) && !existed) addOp(1, abs, 0, 0);
    }
    pthread_mutex_unlock(&mu);
    return fd;
}

int open(const char* p, int flags, ...) { mode_t m = 0; if (flags & (O_CREAT | O_TMPFILE)) { va_list ap; va_start(ap, flags); m = va_arg(ap, int); va_end(ap); } return doOpen(AT_FDCWD, p, flags, m, 0); }
int open64(const char* p, int flags, ...) { mode_t m = 0; if (flags & (O_CREAT | O_TMPFILE)) { va_list ap; va_start(ap, flags); m = va_arg(ap, int); va_end(ap); } return doOpen(AT_FDCWD, p, flags, m, 1); }
int openat(int d, const char* p, int flags, ...) { mode_t m = 0; if (flags & (O_CREAT | O_TMPFILE)) { va_list ap; va_start(ap, flags); m = va_arg(ap, int); va_end(ap); } return doOpen(d, p, flags, m, 2); }
int openat64(int d, const char* p, int flags, ...) { mode_t m = 0; if (flags & (O_CREAT | O_TMPFILE)) { va_list ap; va_start(ap, flags); m = va_arg(ap, int); va_end(ap); } return doOpen(d, p, flags, m, 2); }

static int preWrite(int fd, off_t off, size_t len, int useCur)
{
    Ino* x = inoOfFd(fd);
    if (!x) return 0;
    if (event("write")) return 1;
    if (useCur) {
        int fl = fcntl(fd, F_GETFL);
        if (fl >= 0 && (fl & O_APPEND)) { struct stat s; fstat(fd, &s); off = s.st_size; }
        else off = lseek(fd, 0, SEEK_CUR);
    }
    record(x, off, len);
    return 0;
}

ssize_t write(int fd, const void* b, size_t n)
{
    if (!active) return r_write(fd, b, n);
    pthread_mutex_lock(&mu);
    if (preWrite(fd, 0, n, 1)) { errno = EIO; return -1; }
    ssize_t k = r_write(fd, b, n);
    pthread_mutex_unlock(&mu);
    return k;
}
ssize_t pwrite(int fd, const void* b, size_t n, off_t o)
{
    if (!active) return r_pwrite(fd, b, n, o);
    pthread_mutex_lock(&mu);
    if (preWrite(fd, o, n, 0)) { errno = EIO; return -1; }
    ssize_t k = r_pwrite(fd, b, n, o);
    pthread_mutex_unlock(&mu);
    return k;
}
ssize_t pwrite64(int fd, const void* b, size_t n, off_t o)
{
    if (!active) return r_pwrite64(fd, b, n, o);
    pthread_mutex_lock(&mu);
    if (preWrite(fd, o, n, 0)) { errno = EIO; return -1; }
    ssize_t k = r_pwrite64(fd, b, n, o);
    pthread_mutex_unlock(&mu);
    return k;
}
ssize_t writev(int fd, const struct iovec* v, int c)
{
    if (!active) return r_writev(fd, v, c);
    size_t n = 0; for (int i = 0; i < c; ++i) n += v[i].iov_len;
    pthread_mutex_lock(&mu);
    if (preWrite(fd, 0, n, 1)) { errno = EIO; return -1; }
    ssize_t k = r_writev(fd, v, c);
    pthread_mutex_unlock(&mu);
    return k;
}

static int doSync(int fd, int data)
{
    if (!active) return data ? r_fdatasync(fd) : r_fsync(fd);
    pthread_mutex_lock(&mu);
    struct stat s;
    if (fstat(fd, &s) == 0 && S_ISDIR(s.st_mode)) {
        char lk[64], p[PATH_MAX]; snprintf(lk, sizeof lk, "/proc/self/fd/%d", fd);
        ssize_t k = readlink(lk, p, sizeof p - 1);
        if (k > 0) { p[k] = 0; if (!strcmp(p, dir)) { if (event("dirsync")) return -1; nops = 0; } }
    } else {
        Ino* x = inoOfFd(fd);
        if (x) {
            if (allev && event(data ? "fdatasync" : "fsync")) return -1;
            for (int j = 0; j < x->n; ++j) free(x->recs[j].old);
            x->n = 0; x->syncedsize = s.st_size;
        }
    }
    int rc = data ? r_fdatasync(fd) : r_fsync(fd);
    pthread_mutex_unlock(&mu);
    return rc;
}
int fsync(int fd) { return doSync(fd, 0); }
int fdatasync(int fd) { return doSync(fd, 1); }

static int doTrunc(int fd, off_t len, int w)
{
    if (!active) return w ? r_ftruncate64(fd, len) : r_ftruncate(fd, len);
    pthread_mutex_lock(&mu);
    Ino* x = inoOfFd(fd);
    if (x) {
        if (allev && event("ftruncate")) return -1;
        struct stat s; fstat(fd, &s);
        if (s.st_size > len) record(x, len, (size_t)(s.st_size - len));
    }
    int rc = w ? r_ftruncate64(fd, len) : r_ftruncate(fd, len);
    pthread_mutex_unlock(&mu);
    return rc;
}
int ftruncate(int fd, off_t l) { return doTrunc(fd, l, 0); }
int ftruncate64(int fd, off_t l) { return doTrunc(fd, l, 1); }

static int doRename(int d1, const char* a, int d2, const char* b, unsigned flags, int which)
{
    char aa[PATH_MAX], bb[PATH_MAX], st[PATH_MAX]; st[0] = 0;
    pthread_mutex_lock(&mu);
    int ta = inDir(d1, a, aa), tb = inDir(d2, b, bb);
    if (ta || tb) {
        if (allev && event("rename")) return -1;
        struct stat s;
        if (tb && stat(bb, &s) == 0) keepCopy(bb, st);
    }
    int rc = which == 0 ? r_rename(a, b) : which == 1 ? r_renameat(d1, a, d2, b) : r_renameat2(d1, a, d2, b, flags);
    if (rc == 0 && ta && tb) addOp(2, aa, bb, st);
    else if (rc == 0 && (ta || tb)) lg("rename across the watched folder not modelled: %s %s", a, b);
    pthread_mutex_unlock(&mu);
    return rc;
}
int rename(const char* a, const char* b) { return doRename(AT_FDCWD, a, AT_FDCWD, b, 0, 0); }
int renameat(int d1, const char* a, int d2, const char* b) { return doRename(d1, a, d2, b, 0, 1); }
int renameat2(int d1, const char* a, int d2, const char* b, unsigned f) { return doRename(d1, a, d2, b, f, 2); }

static int doUnlink(int d, const char* p, int flags, int which)
{
    char ab[PATH_MAX], st[PATH_MAX]; st[0] = 0;
    pthread_mutex_lock(&mu);
    int t = !(flags & AT_REMOVEDIR) && inDir(d, p, ab);
    if (t) {
        struct stat s;
        if (stat(ab, &s) != 0) t = 0;
        else { if (allev && event("unlink")) return -1; keepCopy(ab, st); }
    }
    int rc = which == 0 ? r_unlink(p) : r_unlinkat(d, p, flags);
    if (rc == 0 && t) addOp(3, ab, 0, st);
    pthread_mutex_unlock(&mu);
    return rc;
}
int unlink(const char* p) { return doUnlink(AT_FDCWD, p, 0, 0); }
int unlinkat(int d, const char* p, int f) { return doUnlink(d, p, f, 1); }
