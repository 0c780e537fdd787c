#include "BillModels.h"

#include "component/host/Lang.h"
#include "platform/records/Values.h"

namespace zpp::services {

BillRowsModel::BillRowsModel(QVector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)) {}

void BillRowsModel::SetRows(QVector<QStringList> rows, QVector<QVariant> keys) {
    beginResetModel();
    m_rows = std::move(rows);
    m_keys = std::move(keys);
    m_keys.resize(m_rows.size());
    endResetModel();
}

int BillRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BillRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant BillRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_rows[index.row()].value(index.column());
    if (role == Qt::TextAlignmentRole)
        return int((m_columns[index.column()].Numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

QVariant BillRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size() ||
        role != Qt::DisplayRole)
        return {};
    return m_columns[section].Caption;
}

OrderLinesModel::OrderLinesModel(QObject* parent) : QAbstractTableModel(parent) {}

void OrderLinesModel::SetOrder(const PurchaseOrder& order, bool readOnly) {
    beginResetModel();
    m_lines = order.Lines;
    m_orderDate = order.Date;
    m_readOnly = readOnly;
    m_pricesShown = order.PricesShown;
    m_dirty = false;
    endResetModel();
}

int OrderLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_lines.size());
}

int OrderLinesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString OrderLinesModel::Text(const OrderLine& line, int column) const {
    switch (column) {
    case LineNo:
        return QString::number(line.LineNo);
    case ItemNumber:
        return line.ItemNumber;
    case ItemName:
        return line.ItemName;
    case Qty:
        return values::FormatNumber(line.Qty, line.QtyDecimals);
    case Unit:
        return line.UnitName;
    case Price:
        return values::FormatNumber(line.Price, line.PriceDecimals);
    case DiscountRate:
        return values::FormatNumber(line.DiscountRate, kRateDecimals);
    case TaxRate:
        return values::FormatNumber(line.TaxRate, kRateDecimals);
    case Amount:
        return values::FormatNumber(LineAmounts(line).WithTax, 2);
    case FinishDate:
        return line.FinishDate.isValid() ? values::DisplayDate(line.FinishDate) : QString();
    case Memo:
        return line.Memo;
    case Sources: {
        QStringList parts;
        for (const LineSource& s : line.Sources)
            parts << GetLangString(QStringLiteral("%1 分录 %2: %3"))
                         .arg(s.PlanBillNo)
                         .arg(s.EntryId)
                         .arg(values::FormatNumber(s.Qty, line.QtyDecimals));
        return parts.join(QStringLiteral("; "));
    }
    default:
        return {};
    }
}

QVariant OrderLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const OrderLine& line = m_lines[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: // text, so the view edits in a line edit that takes what the user types
    case Qt::ToolTipRole:
        return Text(line, index.column());
    case Qt::TextAlignmentRole: {
        static const QList<int> numeric{LineNo, Qty, Price, DiscountRate, TaxRate, Amount};
        return int((numeric.contains(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant OrderLinesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    static const char* const captions[ColumnCount] = {"行号", "物料代码", "物料名称",  "数量",
                                                      "单位", "含税单价", "折扣率(%)", "税率(%)",
                                                      "金额", "交货日期", "备注",      "来源计划分录"};
    return GetLangString(QString::fromUtf8(captions[section]));
}

Qt::ItemFlags OrderLinesModel::flags(const QModelIndex& index) const {
    // Views ask for the flags of the root too.
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const int c = index.column();
    if (!m_readOnly && (c == Qty || (c == Price && m_pricesShown) || c == FinishDate))
        f |= Qt::ItemIsEditable;
    return f;
}

bool OrderLinesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
        !(flags(index) & Qt::ItemIsEditable))
        return false;
    OrderLine line = m_lines[index.row()];
    const QString text = value.toString().trimmed();
    const QString at = GetLangString(QStringLiteral("第 %1 行")).arg(line.LineNo);
    if (index.column() == FinishDate) {
        const auto date = values::ParseDate(text);
        if (!date) {
            Q_EMIT EditRefused(at + GetLangString(QStringLiteral("交货日期不是有效日期")));
            return false;
        }
        line.FinishDate = *date;
    } else {
        if (!values::IsNumber(text)) {
            Q_EMIT EditRefused(at + GetLangString(QStringLiteral("“%1”不是有效的数字")).arg(text.left(40)));
            return false;
        }
        (index.column() == Qty ? line.Qty : line.Price) = values::Val(text);
    }
    if (const auto problem = CheckLine(line, m_orderDate)) {
        Q_EMIT EditRefused(*problem);
        return false;
    }
    m_lines[index.row()] = line;
    m_dirty = true;
    // The amount follows quantity and price, and the window's totals follow this signal.
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}

} // namespace zpp::services
