#include "SQLiteLocks.h"

#include "platform/records/Error.h"

#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <sqlite3.h>

namespace zpp::store {

namespace {
using FcntlCall = int (*)(int, int, ...);
FcntlCall g_fcntl = nullptr;

// A POSIX record lock belongs to the process and the file: closing any descriptor of the file
// anywhere in the process drops all of them. An open-file-description lock belongs to the
// descriptor SQLite took it on and conflicts with other programs' POSIX locks as theirs do.
int DescriptorLockFcntl(int fd, int cmd, ...) {
    va_list args;
    va_start(args, cmd);
    int ofdCmd = 0;
    switch (cmd) {
    case F_SETLK:
        ofdCmd = F_OFD_SETLK;
        break;
    case F_SETLKW:
        ofdCmd = F_OFD_SETLKW;
        break;
    case F_GETLK:
        ofdCmd = F_OFD_GETLK;
        break;
    default:
        break;
    }
    if (ofdCmd != 0) {
        auto* lock = va_arg(args, struct flock*);
        va_end(args);
        // The kernel refuses an open-file-description lock that names a process.
        lock->l_pid = 0;
        return g_fcntl(fd, ofdCmd, lock);
    }
    // SQLite's other commands (F_GETFD, F_SETFD, F_GETFL) take an int or nothing.
    const int value = va_arg(args, int);
    va_end(args);
    return g_fcntl(fd, cmd, value);
}

void Install() {
    // The unix VFS and its variants share one table of system calls.
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall || !vfs->xGetSystemCall)
        throw Error(QStringLiteral("SQLite 的文件层不支持替换系统调用，无法安全地锁定数据库文件"));
    g_fcntl = reinterpret_cast<FcntlCall>(vfs->xGetSystemCall(vfs, "fcntl"));
    if (!g_fcntl ||
        vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(&DescriptorLockFcntl)) !=
            SQLITE_OK)
        throw Error(QStringLiteral("SQLite 的文件层不支持替换 fcntl，无法安全地锁定数据库文件"));
}
} // namespace

void UseDescriptorLocks() {
    static std::once_flag once;
    // A failed install throws and is tried again by the next open.
    std::call_once(once, Install);
}

} // namespace zpp::store
