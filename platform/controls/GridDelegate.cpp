#include "GridDelegate.h"

#include "GridModel.h"
#include "platform/records/Values.h"
#include "platform/ui/Timing.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateEdit>
#include <QDoubleValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace zpp::controls::detail {

namespace {
const char* const kNumberCol = "zppNumberCol";
const char* const kTouched = "zppTouched";
const char* const kTypedDate = "zppTypedDate";
} // namespace

GridDelegate::GridDelegate(GridModel* model, SpreadGrid* grid, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_grid(grid) {}

bool GridDelegate::IsCheckBox(const QModelIndex& index) const {
    return index.column() < m_model->Cols() && m_model->Col(index.column()).type == CellType::CheckBox;
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const int c = index.column();
    const int r = index.row();
    auto editable = [&] {
        return c < m_model->Cols() && r < m_model->Rows() && !m_model->Locked(c, r) &&
               m_model->Col(c).type != CellType::CheckBox;
    };
    if (!editable())
        return nullptr;
    Q_EMIT m_grid->EditStarting(c + 1, r + 1);
    // A handler may lock the cell to refuse the edit.
    if (!editable())
        return nullptr;
    const GridColumn& col = m_model->Col(c);
    // A date typed straight into the cell goes into a plain line: a date edit would take the
    // first key as a part of today's date and turn 2026-12-20 into another day.
    if (col.type == CellType::Date && m_grid->OpenedByTyping()) {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        edit->setProperty(kTypedDate, true);
        return edit;
    }
    if (col.type == CellType::Date) {
        auto* edit = new QDateEdit(parent);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QLatin1String(values::kDisplayDateFormat));
        edit->setFrame(false);
        // An empty cell shows today's date; only a date the user actually picks is written back.
        connect(edit, &QDateEdit::dateChanged, edit, [edit] { edit->setProperty(kTouched, true); });
        return edit;
    }
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    if (col.type == CellType::Number) {
        auto* validator = new QDoubleValidator(col.min, col.max, m_model->Decimals(c, r), edit);
        validator->setNotation(QDoubleValidator::StandardNotation);
        QLocale cLocale = QLocale::c();
        cLocale.setNumberOptions(QLocale::RejectGroupSeparator);
        validator->setLocale(cLocale);
        edit->setValidator(validator);
        edit->setProperty(kNumberCol, c);
    }
    edit->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    return edit;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const int c = index.column();
    const int r = index.row();
    if (c >= m_model->Cols() || r >= m_model->Rows())
        return;
    const QString text = m_model->Text(c, r);
    if (auto* dateEdit = qobject_cast<QDateEdit*>(editor)) {
        const auto date = values::ParseDate(text);
        const QSignalBlocker block(dateEdit);
        dateEdit->setDate(date ? *date : QDate::currentDate());
        dateEdit->setProperty(kTouched, false);
    } else if (auto* lineEdit = qobject_cast<QLineEdit*>(editor)) {
        lineEdit->setText(text);
    }
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* dateEdit = qobject_cast<QDateEdit*>(editor)) {
        if (dateEdit->property(kTouched).toBool())
            model->setData(index, values::DisplayDate(dateEdit->date()), Qt::EditRole);
        return;
    }
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!lineEdit)
        return;
    if (lineEdit->property(kTypedDate).toBool()) {
        const QString text = lineEdit->text().trimmed();
        const auto date = text.isEmpty() ? std::optional<QDate>() : values::ParseDate(text);
        if (!text.isEmpty() && !date) {
            Q_EMIT m_grid->DateRefused(index.column() + 1, index.row() + 1, text);
            return;
        }
        model->setData(index, date ? values::DisplayDate(*date) : QString(), Qt::EditRole);
        return;
    }
    // The model refuses what the cell cannot hold, so a bad number leaves the cell as it was.
    model->setData(index, lineEdit->text(), Qt::EditRole);
}

bool GridDelegate::eventFilter(QObject* editor, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool commits =
            key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab;
        auto* lineEdit = qobject_cast<QLineEdit*>(editor);
        if (commits && lineEdit && lineEdit->property(kNumberCol).isValid()) {
            const int c = lineEdit->property(kNumberCol).toInt();
            // Keep the editor open on a number the cell refuses, so the user can correct it.
            if (c < m_model->Cols() && !NumberInRange(m_model->Col(c), lineEdit->text())) {
                QApplication::beep();
                return true;
            }
        }
    }
    return QStyledItemDelegate::eventFilter(editor, event);
}

void GridDelegate::Toggle(QAbstractItemModel* model, const QModelIndex& index) {
    const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

bool GridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                               const QModelIndex& index) {
    if (!IsCheckBox(index))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint()))
            return false;
        // The press made this the current cell; a press refused by LeaveCell leaves it elsewhere.
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (view && view->currentIndex() != index)
            return false;
        Toggle(model, index);
        return true;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Space && key->key() != Qt::Key_Select) ||
            (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        Toggle(model, index);
        return true;
    }
    default:
        return false;
    }
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (timing::Enabled())
        timing::RowsPainting();
    if (!IsCheckBox(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.data(kNoteRole).toBool()) {
            // A spreadsheet's comment mark: a small triangle in the top right corner.
            const QRect r = option.rect;
            const int side = std::max(5, r.height() / 3);
            const QPoint corner = option.direction == Qt::RightToLeft ? r.topLeft() : r.topRight();
            const int towards = option.direction == Qt::RightToLeft ? side : -side;
            const QPoint points[] = {corner, corner + QPoint(towards, 0), corner + QPoint(0, side)};
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor(0xd9, 0x4a, 0x1e));
            painter->drawPolygon(points, 3);
            painter->restore();
        }
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool on = opt.checkState == Qt::Checked;
    opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QStyleOptionViewItem check = opt;
    check.state &= ~(QStyle::State_HasFocus | QStyle::State_On | QStyle::State_Off);
    check.state |= on ? QStyle::State_On : QStyle::State_Off;
    const QSize size(style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, widget),
                     style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, widget));
    check.rect = QStyle::alignedRect(opt.direction, opt.displayAlignment, size, opt.rect);
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);
}

} // namespace zpp::controls::detail
