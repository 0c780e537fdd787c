#include "ListLayout.h"

#include "component/filter/MRpt.h"
#include "component/grid/PlanGrid.h"
#include "component/host/ComponentState.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Profile.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSplitter>

namespace zpp {

namespace {
const QString kLayoutKey = QStringLiteral("sPlanLayout");
const QString kSeparator = QStringLiteral("|");
// How much of a window's top edge must lie on a screen for the user to take hold of it.
constexpr int kGripWidth = 120, kGripHeight = 24;
// The layout the window opened with, so that closing it unchanged writes nothing.
constexpr const char* kLoadedProperty = "zppOpenedLayout";

QString Value(const QString& saved, const QString& key) {
    bool found = false;
    const QString value = FindListValue(saved, key, found, kSeparator);
    return found ? value : QString();
}

QList<int> Numbers(const QString& text) {
    QList<int> numbers;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok)
            return {};
        numbers << n;
    }
    return numbers;
}

QString Joined(const QList<int>& numbers) {
    QStringList parts;
    for (int n : numbers)
        parts << QString::number(n);
    return parts.join(u',');
}

// Grid column by field name, from the column set.
QList<std::pair<int, QString>> Fields() {
    QList<std::pair<int, QString>> fields;
    if (const RecordListPtr& set = State().PlanColumnSet)
        for (const RecordPtr& def : *set)
            fields.append(
                {values::ToInt32(def->Get(QStringLiteral("Col"))), def->Text(QStringLiteral("FieldName"))});
    return fields;
}
} // namespace

QString CaptureListLayout(const QMainWindow& window, const controls::SpreadGrid& grid) {
    const QRect g =
        window.isMaximized() || window.isFullScreen() ? window.normalGeometry() : window.geometry();
    QString text = QStringLiteral("Geometry=") + Joined({g.x(), g.y(), g.width(), g.height()}) + kSeparator;
    text += QStringLiteral("Maximized=") + (window.isMaximized() ? u'1' : u'0') + kSeparator;
    QStringList widths;
    for (const auto& [c, field] : Fields())
        if (c >= 1 && c <= grid.MaxCols() && !field.isEmpty())
            widths << field + u':' + QString::number(grid.ColWidth(c), 'f', 2);
    text += QStringLiteral("Widths=") + widths.join(u',') + kSeparator;
    for (const QSplitter* splitter : window.findChildren<QSplitter*>())
        if (!splitter->objectName().isEmpty())
            text += QStringLiteral("Splitter.") + splitter->objectName() + u'=' + Joined(splitter->sizes()) +
                    kSeparator;
    return text;
}

QRect OnScreen(const QRect& geometry, const QList<QRect>& screens) {
    if (screens.isEmpty() || !geometry.isValid())
        return geometry;
    const QRect grip(geometry.x(), geometry.y(), geometry.width(), kGripHeight);
    const int wantedWidth = std::min(kGripWidth, geometry.width());
    for (const QRect& screen : screens) {
        const QRect seen = grip.intersected(screen);
        if (seen.width() >= wantedWidth && seen.height() >= std::min(kGripHeight, screen.height()) / 2)
            return geometry;
    }
    const QRect& primary = screens.front();
    QRect placed(QPoint(), geometry.size().boundedTo(primary.size()));
    placed.moveCenter(primary.center());
    return placed;
}

void ApplyListLayout(QMainWindow& window, controls::SpreadGrid& grid, const QString& saved) {
    if (saved.trimmed().isEmpty())
        return;
    const QList<int> g = Numbers(Value(saved, QStringLiteral("Geometry")));
    if (g.size() == 4 && g[2] > 0 && g[3] > 0) {
        QList<QRect> screens;
        if (QScreen* primary = QGuiApplication::primaryScreen())
            screens << primary->availableGeometry();
        for (QScreen* screen : QGuiApplication::screens())
            if (screen != QGuiApplication::primaryScreen())
                screens << screen->availableGeometry();
        window.setGeometry(OnScreen(QRect(g[0], g[1], g[2], g[3]), screens));
    }
    if (Value(saved, QStringLiteral("Maximized")) == u"1")
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    QHash<QString, double> widths;
    for (const QString& entry : Value(saved, QStringLiteral("Widths")).split(u',', Qt::SkipEmptyParts)) {
        const qsizetype colon = entry.lastIndexOf(u':');
        bool ok = false;
        const double width = entry.mid(colon + 1).toDouble(&ok);
        if (colon > 0 && ok && width > 0)
            widths.insert(entry.left(colon).toLower(), width);
    }
    for (const auto& [c, field] : Fields())
        if (const auto it = widths.constFind(field.toLower()); it != widths.constEnd() && c <= grid.MaxCols())
            grid.SetColWidth(c, *it);
    for (QSplitter* splitter : window.findChildren<QSplitter*>()) {
        if (splitter->objectName().isEmpty())
            continue;
        const QList<int> sizes = Numbers(Value(saved, QStringLiteral("Splitter.") + splitter->objectName()));
        if (sizes.size() == splitter->count())
            splitter->setSizes(sizes);
    }
}

void SaveListLayout(const QMainWindow& window, const controls::SpreadGrid& grid) {
    try {
        QString text = CaptureListLayout(window, grid);
        if (text == window.property(kLoadedProperty).toString())
            return; // as it opened: nothing to write
        CreateObject<Profile>(QString::fromLatin1(progid::Profile))
            ->SaveRptFormat(GetPropsString(), kPlanReportId, kLayoutKey, text);
    } catch (const std::exception&) {
        // The window opens with its defaults next time; nothing else depends on the layout.
    }
}

void RestoreListLayout(QMainWindow& window, controls::SpreadGrid& grid) {
    try {
        ApplyListLayout(window, grid,
                        CreateObject<ProfileRead>(QString::fromLatin1(progid::ProfileRead))
                            ->LoadRptFormat(GetPropsString(), kPlanReportId, kLayoutKey));
        window.setProperty(kLoadedProperty, CaptureListLayout(window, grid));
    } catch (const std::exception&) {
        // Without a saved layout the window keeps its defaults.
    }
}

} // namespace zpp
