#pragma once

#include "UserAdministration.h"
#include "component/host/contracts/UserAdmin.h"

#include <QDialog>

class QPushButton;
class QStandardItemModel;
class QTableView;

namespace zpp::services {

// 用户与权限: a row per user with its full name and state, a check box per command right and the
// suppliers the user may not use; 保存 writes the rows changed through UserAdministration. 停用/启用
// and 删除 act on the chosen user at once.
class frmUsers : public QDialog {
    Q_OBJECT
public:
    frmUsers(store::SessionPtr session, QWidget* parent = nullptr);

    static constexpr int kNameColumn = 0, kFullNameColumn = 1, kStateColumn = 2;
    // The columns after 用户, 姓名 and 状态: one per right, then the forbidden suppliers.
    static constexpr int kFirstRight = 3;
    int SuppliersColumn() const;

    // Leaving with changes asks whether to save them.
    void reject() override;

private:
    // The rights and forbidden suppliers of a row as the window shows them.
    qint64 MaskAt(int row) const;
    QStringList SuppliersAt(int row) const;
    bool IsDirty() const;
    // Unsaved edits are saved first, or dropped, as the user says; false when they cancel.
    bool SettleEdits();
    // The chosen user's row, or -1 after saying that none is chosen.
    int ChosenRow();
    void Load();
    bool Save();
    void AddUser();
    void SetPassword();
    void ToggleDisabled();
    void DeleteUser();
    // 停用 or 启用, as the chosen user is.
    void FollowChoice();

    store::SessionPtr m_session;
    UserAdministration m_admin;
    QVector<UserEntry> m_users;
    QStandardItemModel* m_model;
    QTableView* m_view;
    QPushButton* m_disable;
};

// The UserAdmin service over the log-in's store.
class UserAdminService : public UserAdmin {
public:
    explicit UserAdminService(store::SessionPtr session) : m_session(std::move(session)) {}
    void ShowUsers(QWidget* parent) override;
    void ShowCompany(QWidget* parent) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
