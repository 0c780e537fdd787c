#include "frmBaseDataLookup.h"

#include "BaseDataModel.h"
#include "component/host/Lang.h"
#include "platform/ui/Prompt.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace zpp::services {

namespace {
QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(text);
    return button;
}

bool IsRowMove(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}
} // namespace

frmBaseDataLookup::frmBaseDataLookup(BaseDataModel* model, const QString& search, QWidget* parent)
    : QDialog(parent), m_model(model) {
    setObjectName(QStringLiteral("frmBaseDataLookup"));
    model->setParent(this);
    const QString title = GetLangString(lookup::TypeCaption(model->Type()));
    setWindowTitle(title);
    setAccessibleName(title);
    setSizeGripEnabled(true);

    // The search box is the first control that takes focus, so the window opens in it.
    auto* label = new QLabel(GetLangString(QStringLiteral("查找")), this);
    label->setObjectName(QStringLiteral("lblSearch"));
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setAccessibleName(label->text());
    m_search->setPlaceholderText(GetLangString(QStringLiteral("输入代码或名称的一部分")));
    label->setBuddy(m_search);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("grdList"));
    m_view->setAccessibleName(title);
    m_view->setModel(model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTabKeyNavigation(false);
    m_view->setAlternatingRowColors(true);
    m_view->setWordWrap(false);
    // Fixed row heights keep a reset cheap however many rows were fetched.
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->horizontalHeader()->setHighlightSections(false);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_ok = MakeButton(GetLangString(QStringLiteral("确定(&O)")), "cmdOK", this);
    m_cancel = MakeButton(GetLangString(QStringLiteral("取消(&C)")), "cmdCancel", this);
    m_ok->setDefault(true);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(label);
    searchRow->addWidget(m_search, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_ok);
    bottom->addWidget(m_cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(searchRow);
    outer->addWidget(m_view, 1);
    outer->addLayout(bottom);

    try {
        SetFormFont(this);
    } catch (const std::exception&) {
        // The lookup works in the default font too; a missing font service must not block it.
    }
    // Widths in digits: room for a long code, a long Chinese name and a model, never narrower
    // than the caption.
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int rowHeight = fontMetrics().height() + 8;
    const QVector<int> widths =
        model->Type() == kBaseDataItem ? QVector<int>{16, 32, 24, 8} : QVector<int>{16, 44, 8};
    int total = 0;
    for (int c = 0; c < widths.size(); ++c) {
        const int width = std::max(widths[c] * digit, m_view->horizontalHeader()->sectionSizeHint(c));
        m_view->setColumnWidth(c, width);
        total += width;
    }
    m_view->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_view->verticalHeader()->setDefaultSectionSize(rowHeight);
    resize(total + 6 * digit, 22 * rowHeight);

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(kTypingPauseMs);
    connect(m_typing, &QTimer::timeout, this, &frmBaseDataLookup::ApplySearch);
    connect(m_search, &QLineEdit::textEdited, m_typing, qOverload<>(&QTimer::start));
    connect(m_ok, &QPushButton::clicked, this, &frmBaseDataLookup::Choose);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        ShowCurrent(index.row());
        Choose();
    });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                m_ok->setEnabled(current.isValid());
                // Moving onto the last row read brings the next page, so arrows walk the whole list.
                if (current.isValid() && current.row() == m_model->rowCount() - 1 &&
                    m_model->canFetchMore({}))
                    m_model->fetchMore({});
            });
    connect(model, &QAbstractItemModel::modelReset, this, &frmBaseDataLookup::UpdateStatus);
    connect(model, &QAbstractItemModel::rowsInserted, this, &frmBaseDataLookup::UpdateStatus);
    connect(model, &BaseDataModel::FetchFailed, this, [](const QString& description) {
        ui::MsgBox(description, ui::OkOnly | ui::Information, GetLangString(QStringLiteral("信息提示")));
    });
    m_search->installEventFilter(this);
    m_view->installEventFilter(this);

    m_search->setText(search);
    m_model->SetSearch(search);
    ShowCurrent(0);
    UpdateStatus();
    m_search->setFocus();
}

void frmBaseDataLookup::ApplyPendingSearch() {
    if (!m_typing->isActive())
        return;
    m_typing->stop();
    ApplySearch();
}

void frmBaseDataLookup::ApplySearch() {
    if (m_search->text().trimmed() == m_model->Search())
        return;
    try {
        m_model->SetSearch(m_search->text());
    } catch (const std::exception& e) {
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
    ShowCurrent(0);
}

void frmBaseDataLookup::Choose() {
    ApplyPendingSearch();
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return;
    const BaseDataModel::Row& row = m_model->At(current.row());
    m_chosen = LookupRecord{row.Id, row.Code, row.Name};
    accept();
}

void frmBaseDataLookup::Select(const QString& code) {
    if (const int row = m_model->RowOf(code); row >= 0)
        ShowCurrent(row);
}

void frmBaseDataLookup::ShowCurrent(int row) {
    if (row >= 0 && row < m_model->rowCount()) {
        const QModelIndex index = m_model->index(row, 0);
        m_view->setCurrentIndex(index);
        m_view->scrollTo(index);
    }
    m_ok->setEnabled(m_view->currentIndex().isValid());
}

void frmBaseDataLookup::UpdateStatus() {
    const int rows = m_model->rowCount();
    if (rows == 0)
        m_status->setText(GetLangString(QStringLiteral("没有符合条件的记录")));
    else if (m_model->HasMore())
        m_status->setText(GetLangString(QStringLiteral("已显示 %1 条，向下滚动显示更多")).arg(rows));
    else
        m_status->setText(GetLangString(QStringLiteral("共 %1 条")).arg(rows));
}

bool frmBaseDataLookup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != m_search && watched != m_view))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Choose();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        break;
    }
    if (watched == m_search && IsRowMove(key->key())) {
        QCoreApplication::sendEvent(m_view, event);
        return true;
    }
    // Typing while the list has the focus goes on in the search box.
    if (watched == m_view && !key->text().isEmpty() && key->text().at(0).isPrint() &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        m_search->setFocus();
        QCoreApplication::sendEvent(m_search, event);
        return true;
    }
    return false;
}

} // namespace zpp::services
