#include "Memory.h"

#include <QFile>
#include <malloc.h>

namespace zpp::bench {

long ProcStatusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    return -1;
}

std::size_t HeapInUse() {
    const auto m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

} // namespace zpp::bench
