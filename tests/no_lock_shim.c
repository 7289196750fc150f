/* Makes every record-lock request fail with ENOLCK, as a file system without record
   locks does (NFS without its lock service, some FUSE and SMB mounts). Preloaded into a
   program (LD_PRELOAD) by the lock tests; every other fcntl request goes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>

typedef int (*FcntlFunc)(int, int, ...);

static int IsLockRequest(int cmd) {
    return cmd == F_SETLK || cmd == F_SETLKW || cmd == F_GETLK || cmd == F_OFD_SETLK || cmd == F_OFD_SETLKW ||
           cmd == F_OFD_GETLK;
}

static int Forward(const char* name, int fd, int cmd, void* arg) {
    if (IsLockRequest(cmd)) {
        errno = ENOLCK;
        return -1;
    }
    FcntlFunc real = (FcntlFunc)dlsym(RTLD_NEXT, name);
    return real(fd, cmd, arg);
}

int fcntl(int fd, int cmd, ...) {
    va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Forward("fcntl", fd, cmd, arg);
}

int fcntl64(int fd, int cmd, ...) {
    va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Forward("fcntl64", fd, cmd, arg);
}
