#include "frmUsers.h"

#include "AdminPrompts.h"
#include "frmCompany.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace zpp::services {

namespace {
using admin::Inform;

QStringList Codes(const QString& text) {
    QStringList codes;
    for (const QString& c : QString(text).replace(u'，', u',').split(u',', Qt::SkipEmptyParts))
        if (!c.trimmed().isEmpty() && !codes.contains(c.trimmed()))
            codes << c.trimmed();
    return codes;
}
} // namespace

frmUsers::frmUsers(store::SessionPtr session, QWidget* parent)
    : QDialog(parent), m_session(session), m_admin(session) {
    setObjectName(QStringLiteral("frmUsers"));
    setWindowTitle(ui::Tr("用户与权限"));
    setSizeGripEnabled(true);
    QStringList captions{ui::Tr("用户"), ui::Tr("姓名"), ui::Tr("状态")};
    for (const RightName& r : RightNames())
        captions << ui::Tr(r.Caption);
    captions << ui::Tr("禁用的供应商");
    m_model = new QStandardItemModel(0, int(captions.size()), this);
    m_model->setHorizontalHeaderLabels(captions);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("grdUsers"));
    m_view->setAccessibleName(windowTitle());
    m_view->setModel(m_model);
    m_view->verticalHeader()->hide();
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);

    auto button = [&](const char* caption, const char* name) {
        auto* b = new QPushButton(ui::Tr(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* add = button("新增用户(&N)...", "cmdAdd");
    QPushButton* password = button("设置密码(&P)...", "cmdPassword");
    m_disable = button("停用(&D)", "cmdDisable");
    QPushButton* remove = button("删除用户(&R)...", "cmdDelete");
    QPushButton* save = button("保存(&S)", "cmdSave");
    QPushButton* close = button("关闭(&C)", "cmdClose");
    // SQLite has no passwords: the file's owner decides who uses it.
    password->setVisible(!m_session->Db->IsSQLite());
    connect(add, &QPushButton::clicked, this, &frmUsers::AddUser);
    connect(password, &QPushButton::clicked, this, &frmUsers::SetPassword);
    connect(m_disable, &QPushButton::clicked, this, &frmUsers::ToggleDisabled);
    connect(remove, &QPushButton::clicked, this, &frmUsers::DeleteUser);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmUsers::FollowChoice);
    connect(save, &QPushButton::clicked, this, &frmUsers::Save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(password);
    buttons->addWidget(m_disable);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    m_view->horizontalHeader()->setStretchLastSection(true);
    Load();
    resize(std::max(std::max(720, layout->sizeHint().width()), m_view->horizontalHeader()->length() + 60),
           360);
}

int frmUsers::SuppliersColumn() const {
    return kFirstRight + int(RightNames().size());
}

void frmUsers::Load() {
    m_users = m_admin.Users();
    m_model->setRowCount(0);
    for (const UserEntry& u : m_users) {
        QList<QStandardItem*> row;
        auto* name = new QStandardItem(u.Name);
        name->setEditable(false);
        auto* full = new QStandardItem(u.FullName);
        auto* state = new QStandardItem(u.Disabled ? ui::Tr("停用") : ui::Tr("启用"));
        state->setEditable(false);
        if (u.Disabled)
            for (QStandardItem* item : {name, full, state})
                item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        row << name << full << state;
        for (const RightName& r : RightNames()) {
            auto* item = new QStandardItem;
            item->setCheckable(true);
            item->setEditable(false);
            item->setCheckState((u.Mask & r.Mask) ? Qt::Checked : Qt::Unchecked);
            item->setData(ui::Tr(r.Caption), Qt::AccessibleTextRole);
            row << item;
        }
        row << new QStandardItem(u.ForbiddenSuppliers.join(QStringLiteral(", ")));
        m_model->appendRow(row);
    }
    // Every log-in and name whole, however long, also after a user is added; the suppliers take
    // the rest of the width.
    for (int column = 0; column < SuppliersColumn(); ++column)
        m_view->resizeColumnToContents(column);
    FollowChoice();
}

qint64 frmUsers::MaskAt(int row) const {
    qint64 mask = 0;
    for (int i = 0; i < RightNames().size(); ++i)
        if (m_model->item(row, kFirstRight + i)->checkState() == Qt::Checked)
            mask |= RightNames()[i].Mask;
    return mask;
}

QStringList frmUsers::SuppliersAt(int row) const {
    return Codes(m_model->item(row, SuppliersColumn())->text());
}

bool frmUsers::IsDirty() const {
    for (int row = 0; row < m_users.size(); ++row) {
        QStringList was = m_users[row].ForbiddenSuppliers, now = SuppliersAt(row);
        was.sort();
        now.sort();
        if (MaskAt(row) != (m_users[row].Mask & kEveryRight) || was != now ||
            m_model->item(row, kFullNameColumn)->text().trimmed() != m_users[row].FullName)
            return true;
    }
    return false;
}

void frmUsers::reject() {
    if (SettleEdits())
        QDialog::reject();
}

bool frmUsers::Save() {
    // An open editor holds the last text typed.
    QWidget* editor = m_view->indexWidget(m_view->currentIndex());
    if (editor) {
        QMetaObject::invokeMethod(m_view, "commitData", Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(m_view, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
    return admin::SaveAndTell([this] {
        QVector<UserChange> changes;
        for (int row = 0; row < m_users.size(); ++row) {
            const UserEntry& was = m_users[row];
            UserChange change{was.Name, std::nullopt, {}, {}, std::nullopt};
            if (const QString full = m_model->item(row, kFullNameColumn)->text().trimmed();
                full != was.FullName)
                change.FullName = full;
            const qint64 mask = MaskAt(row);
            if (mask != (was.Mask & kEveryRight))
                change.Mask = mask;
            const QStringList now = SuppliersAt(row);
            for (const QString& code : now)
                if (!was.ForbiddenSuppliers.contains(code))
                    change.Forbid << code;
            for (const QString& code : was.ForbiddenSuppliers)
                if (!now.contains(code))
                    change.Allow << code;
            if (change.Mask || change.FullName || !change.Forbid.isEmpty() || !change.Allow.isEmpty())
                changes << change;
        }
        // All rows or none: a refused supplier code leaves every row as it was in the store, and
        // the window keeps what was typed, to be put right and saved again.
        if (!changes.isEmpty())
            m_admin.Apply(changes);
        Load();
    });
}

void frmUsers::AddUser() {
    if (!SettleEdits())
        return;
    const auto name = ui::InputBox(ui::Tr("新用户的用户名："), windowTitle(), {});
    if (!name || name->trimmed().isEmpty())
        return;
    try {
        m_admin.AddUser(*name, {});
        Load();
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
        return;
    }
    // The new user's full name is typed next, in its row.
    for (int row = 0; row < m_users.size(); ++row)
        if (m_users[row].Name == name->trimmed()) {
            const QModelIndex full = m_model->index(row, kFullNameColumn);
            m_view->setCurrentIndex(full);
            m_view->edit(full);
        }
}

int frmUsers::ChosenRow() {
    const int row = m_view->currentIndex().row();
    if (row < 0 || row >= m_users.size()) {
        Inform(ui::Tr("请先选择用户"));
        return -1;
    }
    return row;
}

bool frmUsers::SettleEdits() {
    return !IsDirty() ||
           admin::SettleUnsaved(ui::Tr("用户与权限已修改，是否保存？"), [this] { return Save(); });
}

void frmUsers::FollowChoice() {
    const int row = m_view->currentIndex().row();
    const bool disabled = row >= 0 && row < m_users.size() && m_users[row].Disabled;
    m_disable->setText(disabled ? ui::Tr("启用(&E)") : ui::Tr("停用(&D)"));
}

void frmUsers::ToggleDisabled() {
    const int row = ChosenRow();
    if (row < 0)
        return;
    const UserEntry user = m_users[row];
    if (!SettleEdits())
        return;
    try {
        m_admin.SetDisabled(user.Name, !user.Disabled);
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
        return;
    }
    Load();
    m_view->setCurrentIndex(m_model->index(row, kNameColumn));
    Inform(user.Disabled ? ui::Tr("用户“%1”已启用").arg(user.Name)
                         : ui::Tr("用户“%1”已停用：不能再登录，其权限保留到再次启用").arg(user.Name));
}

void frmUsers::DeleteUser() {
    const int row = ChosenRow();
    if (row < 0)
        return;
    const UserEntry user = m_users[row];
    if (!SettleEdits() ||
        ui::MsgBox(
            ui::Tr("删除用户“%1”？删除后该用户不能登录，也不再列出；其单据和日志仍保留。").arg(user.Name),
            ui::YesNo | ui::Question | ui::DefaultButton2, ui::Tr("信息提示")) != ui::Yes)
        return;
    try {
        m_admin.DeleteUser(user.Name);
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
        return;
    }
    Load();
    Inform(ui::Tr("用户“%1”已删除").arg(user.Name));
}

void frmUsers::SetPassword() {
    const int row = ChosenRow();
    if (row < 0)
        return;
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("dlgPassword"));
    ask.setWindowTitle(ui::Tr("设置密码(&P)...").remove(QStringLiteral("(&P)...")));
    ask.setLabelText(ui::Tr("用户 %1 的新密码：").arg(m_users[row].Name));
    ask.setTextEchoMode(QLineEdit::Password);
    if (ui::ExecModal(ask) != QDialog::Accepted)
        return;
    try {
        m_admin.SetPassword(m_users[row].Name, ask.textValue());
        Inform(ui::Tr("密码已设置"));
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
    }
}

namespace {
// A window that refuses to open (a user who is no administrator) says why instead.
template <class Window> void ShowModal(const store::SessionPtr& session, QWidget* parent) {
    try {
        Window window(session, parent);
        ui::ExecModal(window);
    } catch (const std::exception& e) {
        Inform(DescribeException(e));
    }
}
} // namespace

void UserAdminService::ShowUsers(QWidget* parent) {
    ShowModal<frmUsers>(m_session, parent);
}

void UserAdminService::ShowCompany(QWidget* parent) {
    ShowModal<frmCompany>(m_session, parent);
}

} // namespace zpp::services
