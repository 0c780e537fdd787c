#pragma once

#include "UserAdministration.h"
#include "component/host/contracts/UserAdmin.h"

#include <QDialog>

class QStandardItemModel;
class QTableView;

namespace zpp::services {

// 用户与权限: a row per user, a check box per command right and the suppliers the user may not
// use; 保存 writes the rows changed through UserAdministration.
class frmUsers : public QDialog {
    Q_OBJECT
public:
    frmUsers(store::SessionPtr session, QWidget* parent = nullptr);

    // The columns after 用户 and 姓名: one per right, then the forbidden suppliers.
    static constexpr int kFirstRight = 2;
    int SuppliersColumn() const;

    // Leaving with changes asks whether to save them.
    void reject() override;

private:
    // The rights and forbidden suppliers of a row as the window shows them.
    qint64 MaskAt(int row) const;
    QStringList SuppliersAt(int row) const;
    bool IsDirty() const;
    void Load();
    bool Save();
    void AddUser();
    void SetPassword();

    store::SessionPtr m_session;
    UserAdministration m_admin;
    QVector<UserEntry> m_users;
    QStandardItemModel* m_model;
    QTableView* m_view;
};

// The UserAdmin service over the log-in's store.
class UserAdminService : public UserAdmin {
public:
    explicit UserAdminService(store::SessionPtr session) : m_session(std::move(session)) {}
    void ShowUsers(QWidget* parent) override;

private:
    store::SessionPtr m_session;
};

} // namespace zpp::services
