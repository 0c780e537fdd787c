#include "frmResultList.h"

#include "component/host/Lang.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zpp {

namespace {
QString WithoutEndMark(const QString& text) {
    return text.endsWith(u'|') ? text.chopped(1) : text;
}
} // namespace

frmResultList::frmResultList(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmResultList"));
    setAccessibleName(QStringLiteral("frmResultList"));
    setModal(true);
    resize(640, 360);

    lstResult = new QListWidget(this);
    lstResult->setObjectName(QStringLiteral("lstResult"));
    lstResult->setAccessibleName(GetLangString(QStringLiteral("结果列表")));
    lstResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstResult->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* copy = new QAction(GetLangString(QStringLiteral("复制(&C)")), lstResult);
    copy->setObjectName(QStringLiteral("actCopy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &frmResultList::CopySelection);
    lstResult->addAction(copy);

    btnClose = new QPushButton(GetLangString(QStringLiteral("关闭(&C)")), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setAccessibleName(GetLangString(QStringLiteral("关闭(&C)")));
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstResult);
    layout->addLayout(buttons);
}

void frmResultList::SetTitle(const QString& title) {
    setWindowTitle(WithoutEndMark(title));
}

void frmResultList::AddLine(const QString& line) {
    lstResult->addItem(WithoutEndMark(line));
}

QStringList frmResultList::Lines() const {
    QStringList lines;
    for (int i = 0; i < lstResult->count(); ++i)
        lines << lstResult->item(i)->text();
    return lines;
}

QString frmResultList::SelectedText() const {
    QStringList lines;
    for (int i = 0; i < lstResult->count(); ++i)
        if (lstResult->item(i)->isSelected())
            lines << lstResult->item(i)->text();
    return lines.join(u'\n');
}

void frmResultList::CopySelection() {
    const QString text = SelectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

} // namespace zpp
