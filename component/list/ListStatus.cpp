#include "ListStatus.h"

#include "component/grid/AmountColumns.h"
#include "component/host/Access.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/UserProfileInfo.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"

#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QUrl>

namespace zpp {

namespace {
// Cells or rows read between two looks at the clock.
constexpr qint64 kSlice = 1024;
// How long one turn of counting may keep the window from the user.
constexpr qint64 kTurnMs = 8;

// Permanent, so that a passing message (已复制…) takes the row count's place and never lies over
// a label that shows itself while the message is up.
QLabel* AddLabel(QStatusBar& bar, const char* name, const char* accessibleName) {
    auto* label = new QLabel(&bar);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(GetLangString(QString::fromUtf8(accessibleName)));
    label->setContentsMargins(12, 0, 12, 0);
    bar.addPermanentWidget(label);
    label->hide();
    return label;
}

QString LogInText() {
    const QString user = GetPropsValue(QStringLiteral("UserName"));
    QString fullName;
    try {
        fullName = CreateObject<UserProfileInfo>(QString::fromLatin1(progid::UserProfileInfo))
                       ->GetUserFullName(GetPropsString());
    } catch (const std::exception&) {
        // The log-in name alone still says who it is.
    }
    const QString who = fullName.isEmpty() || fullName == user
                            ? user
                            : GetLangString(QStringLiteral("%1（%2）")).arg(fullName, user);
    return GetLangString(QStringLiteral("用户：%1")).arg(who) + QStringLiteral("    ") +
           GetLangString(QStringLiteral("数据库：%1"))
               .arg(ListStatus::StoreName(GetPropsValue(QStringLiteral("Store"))));
}
} // namespace

ListStatus::ListStatus(controls::SpreadGrid& grid, QStatusBar& bar) : QObject(&bar), m_grid(grid) {
    m_selection = AddLabel(bar, "lblSelectionSums", "选中单元格的合计");
    m_ticked = AddLabel(bar, "lblTicked", "勾选的行");
    m_logIn = AddLabel(bar, "lblLogIn", "登录信息");
    m_logIn->setText(LogInText());
    m_logIn->setToolTip(GetPropsValue(QStringLiteral("Store")));
    m_logIn->show();
    m_pricesShown = HasRight(rights::Price);

    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // While the grid is being filled (perhaps from two threads) its cells are left alone.
        if (!m_grid.Redraw())
            return m_timer.start(50);
        m_timer.setInterval(0);
        if (!Work(kTurnMs))
            m_timer.start();
    });
    QAbstractItemModel* model = grid.View()->model();
    connect(grid.View()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListStatus::SelectionChanged);
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& tl, const QModelIndex& br) {
                CellsChanged(tl.column() + 1, br.column() + 1);
            });
    const auto everything = [this] {
        SelectionChanged();
        CellsChanged(1, m_grid.MaxCols());
    };
    connect(model, &QAbstractItemModel::modelReset, this, everything);
    connect(model, &QAbstractItemModel::rowsInserted, this, everything);
    connect(model, &QAbstractItemModel::rowsRemoved, this, everything);
    connect(model, &QAbstractItemModel::layoutChanged, this, everything);
    everything();
}

void ListStatus::SelectionChanged() {
    m_sumsPending = true;
    Schedule();
}

void ListStatus::CellsChanged(int firstCol, int lastCol) {
    // Selected cells may hold other numbers now; a change of a column that no tick total
    // reads leaves the totals as they are.
    if (m_sumsShown)
        m_sumsPending = true;
    for (int c : {col::CheckBox, col::PushQty, col::Price, col::DiscountRate, col::TaxRate})
        if (firstCol <= c && c <= lastCol) {
            m_ticksPending = true;
            break;
        }
    Schedule();
}

void ListStatus::Schedule() {
    if ((m_sumsPending || m_ticksPending) && !m_timer.isActive())
        m_timer.start();
}

bool ListStatus::Work(qint64 budgetMs) {
    QElapsedTimer clock;
    clock.start();
    const auto timeLeft = [&] { return clock.elapsed() < budgetMs; };
    if (m_sumsPending) {
        m_sumsPending = false;
        m_sums = controls::SelectionSums(m_grid, controls::SelectedCellBlocks(m_grid));
        m_sumsShown = m_sums.ShownCells() > 1;
    }
    if (m_ticksPending) {
        m_ticksPending = false;
        m_ticksCounting = true;
        m_tickRow = 1;
        m_ticks = 0;
        m_tickAmount = 0;
    }
    while (m_sumsShown && !m_sums.Done() && timeLeft())
        m_sums.Step(kSlice);
    const int rows = m_grid.MaxRows();
    while (m_ticksCounting && m_tickRow <= rows && timeLeft()) {
        const int last = int(std::min<qint64>(rows, m_tickRow + kSlice - 1));
        for (int r = m_tickRow; r <= last; ++r) {
            if (m_grid.Text(col::CheckBox, r) != u"1")
                continue;
            ++m_ticks;
            if (m_pricesShown)
                if (const auto amount = RowAmount(m_grid, r))
                    m_tickAmount += amount->WithTax;
        }
        m_tickRow = last + 1;
    }
    if (m_ticksCounting && m_tickRow > rows)
        m_ticksCounting = false;
    ShowSums();
    ShowTicks();
    return !m_ticksCounting && (!m_sumsShown || m_sums.Done());
}

void ListStatus::ShowSums() {
    if (!m_sumsShown) {
        m_selection->hide();
        return;
    }
    if (!m_sums.Done()) {
        m_selection->setText(GetLangString(QStringLiteral("正在计算选中的单元格…")));
    } else {
        const controls::NumberSums sums = m_sums.Sums();
        QString text = GetLangString(QStringLiteral("计数：%1")).arg(sums.Count);
        if (sums.Count > 0)
            text +=
                QStringLiteral("    ") +
                GetLangString(QStringLiteral("求和：%1")).arg(values::FormatNumber(sums.Sum, sums.Decimals)) +
                QStringLiteral("    ") +
                GetLangString(QStringLiteral("平均值：%1")).arg(AverageText(sums.Average(), sums.Decimals));
        m_selection->setText(text);
    }
    m_selection->show();
}

void ListStatus::ShowTicks() {
    if (m_ticksCounting)
        return; // the last totals stay until the new ones are known
    if (m_ticks == 0) {
        m_ticked->hide();
        return;
    }
    QString text = GetLangString(QStringLiteral("已勾选 %1 行")).arg(m_ticks);
    if (m_pricesShown)
        text += GetLangString(QStringLiteral("，价税合计 %1"))
                    .arg(values::FormatNumber(values::RoundCents(double(m_tickAmount)), 2));
    m_ticked->setText(text);
    m_ticked->show();
}

QString ListStatus::StoreName(const QString& store) {
    const QUrl url(store);
    if (url.scheme().startsWith(QStringLiteral("postgres"), Qt::CaseInsensitive)) {
        const QString host = url.host().isEmpty() ? QStringLiteral("localhost") : url.host();
        return host + u'/' + url.path().mid(1);
    }
    return QFileInfo(store).fileName();
}

QString ListStatus::AverageText(double average, int decimals) {
    QString text = values::FormatNumber(average, std::min(decimals + 2, 10));
    const qsizetype dot = text.indexOf(u'.');
    if (dot < 0)
        return text;
    qsizetype keep = text.size();
    while (keep > dot + 1 + decimals && text[keep - 1] == u'0')
        --keep;
    if (keep == dot + 1)
        --keep; // no decimals left: no point either
    return text.left(keep);
}

} // namespace zpp
