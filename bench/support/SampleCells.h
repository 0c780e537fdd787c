#pragma once

#include <QString>

namespace zpp::bench {

// A plan row's mix of cell texts, the same in every benchmark: codes, Chinese names,
// quantities, prices, dates, flags and notes (some with a comma, some empty).
inline QString SampleCellText(int c, int r) {
    switch (c % 7) {
    case 0:
        return QStringLiteral("A%1").arg(r * 7 + c, 8, 10, QLatin1Char('0'));
    case 1:
        return QStringLiteral("钢板螺栓%1").arg(r % 97);
    case 2:
        return QString::number((r % 1000) * 1.5 + c);
    case 3:
        return QString::number(r % 5000 / 7.0, 'f', 6);
    case 4:
        return QStringLiteral("2026-%1-%2")
            .arg(r % 12 + 1, 2, 10, QLatin1Char('0'))
            .arg(r % 28 + 1, 2, 10, QLatin1Char('0'));
    case 5:
        return r % 3 ? QStringLiteral("0") : QStringLiteral("1");
    default:
        return r % 4 ? QStringLiteral("备注，含逗号%1").arg(r % 13) : QString();
    }
}

} // namespace zpp::bench
