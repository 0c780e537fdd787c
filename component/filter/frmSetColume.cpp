#include "frmSetColume.h"

#include "MRpt.h"
#include "component/host/Lang.h"
#include "component/host/ProgIds.h"
#include "component/host/Props.h"
#include "component/host/contracts/Profile.h"
#include "platform/controls/SpreadGrid.h"
#include "platform/records/Values.h"
#include "platform/ui/Prompt.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace zpp {

namespace {
constexpr int kColumnRole = Qt::UserRole;
// The row text of the design: the display name, 200 blanks and the field name.
constexpr int kRowTextRole = Qt::UserRole + 1;
// A column hidden until chosen: shown, it is saved as "FieldName=0|".
constexpr int kDefaultHiddenRole = Qt::UserRole + 2;
const QString kFormatKey = QStringLiteral("sPlanRpt");
} // namespace

frmSetColume::frmSetColume(controls::SpreadGrid* spread, RecordListPtr header, QWidget* parent)
    : QDialog(parent), m_spread(spread), m_header(std::move(header)) {
    setObjectName(QStringLiteral("frmSetColume"));
    const QString caption = QStringLiteral("显示/隐藏列");
    setWindowTitle(caption);
    setAccessibleName(caption);

    m_colList = new QListWidget(this);
    m_colList->setObjectName(QStringLiteral("ColList"));
    const QString listLabel = QStringLiteral("列(&L):");
    m_label = new QLabel(listLabel, this);
    m_label->setObjectName(QStringLiteral("lblColList"));
    m_label->setBuddy(m_colList);
    m_label->setAccessibleName(listLabel);
    m_colList->setAccessibleName(listLabel);

    const char* names[] = {"cmdOK", "cmdApply", "cmdCancel"};
    const char* texts[] = {"确定(&O)", "应用(&A)", "取消(&C)"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(texts[i]), this);
        button->setObjectName(QString::fromLatin1(names[i]));
        button->setAccessibleName(button->text());
        button->setAutoDefault(false);
        m_buttons[i] = button;
    }
    m_buttons[OkButton]->setDefault(true);
    connect(m_buttons[OkButton], &QPushButton::clicked, this, [this] {
        ApplyColumnSettings();
        accept();
    });
    connect(m_buttons[ApplyButton], &QPushButton::clicked, this, &frmSetColume::ApplyColumnSettings);
    connect(m_buttons[CancelButton], &QPushButton::clicked, this, &frmSetColume::reject);

    // Placed by hand, as ArrangeControls keeps them on every resize.
    const QFontMetrics metrics(font());
    const int buttonWidth = Twips(1215), buttonHeight = std::max(Twips(375), metrics.height() + 8);
    m_label->setGeometry(Twips(120), Twips(120), Twips(2400), metrics.height() + 4);
    m_colList->move(Twips(120), m_label->geometry().bottom() + Twips(60));
    for (int i = 0; i < 3; ++i)
        m_buttons[i]->setGeometry(0, m_colList->y() + i * (buttonHeight + Twips(120)), buttonWidth,
                                  buttonHeight);
    resize(Twips(5400), Twips(4800));
    ArrangeControls();

    FillColumnList();
}

int frmSetColume::Twips(int twips) const {
    return twips * logicalDpiX() / 1440;
}

void frmSetColume::FillColumnList() {
    m_colList->clear();
    if (!m_header || !m_spread)
        return;
    for (const RecordPtr& column : *m_header) {
        const int col = values::ToInt32(column->Get(QStringLiteral("Col"), 0));
        const QString headerText = m_spread->HeaderText(col).trimmed();
        const bool forceHide = values::Val(column->Get(QStringLiteral("FForceHide"), 0)) != 0;
        if (forceHide || headerText.isEmpty())
            continue;
        const QString text = column->Text(QStringLiteral("Text"));
        auto* item = new QListWidgetItem(text, m_colList);
        item->setData(kColumnRole, col);
        item->setData(kRowTextRole,
                      QString(text + QString(200, u' ') + column->Text(QStringLiteral("FieldName"))));
        item->setData(kDefaultHiddenRole, column->Get(QStringLiteral("DefaultHidden"), false).toBool());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_spread->ColHidden(col) ? Qt::Unchecked : Qt::Checked);
    }
    if (m_colList->count() > 0)
        m_colList->setCurrentRow(0);
}

void frmSetColume::ApplyColumnSettings() {
    QString hidden;
    for (int i = 0; i < m_colList->count(); ++i) {
        const QListWidgetItem* item = m_colList->item(i);
        const int col = item->data(kColumnRole).toInt();
        if (item->checkState() == Qt::Checked) {
            m_spread->SetColHidden(col, false);
            if (item->data(kDefaultHiddenRole).toBool())
                hidden += item->data(kRowTextRole).toString().right(50).trimmed() + QStringLiteral("=0|");
        } else {
            m_spread->SetColHidden(col, true);
            hidden += item->data(kRowTextRole).toString().right(50).trimmed() + QStringLiteral("=1|");
        }
    }
    try {
        auto profile = CreateObject<Profile>(QString::fromLatin1(progid::Profile));
        profile->SaveRptFormat(GetPropsString(), kPlanReportId, kFormatKey, hidden);
    } catch (const std::exception& e) {
        // The grid keeps the new choice; only storing it failed.
        ui::MsgBox(DescribeException(e), ui::OkOnly | ui::Information,
                   GetLangString(QStringLiteral("信息提示")));
    }
}

void frmSetColume::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    ArrangeControls();
}

void frmSetColume::ArrangeControls() {
    const int innerWidth = width(), innerHeight = height();
    for (QPushButton* button : m_buttons) {
        const int left = innerWidth - button->width() - Twips(200);
        if (left >= 0)
            button->move(left, button->y());
    }
    const int listWidth = m_buttons[OkButton]->x() - m_colList->x() - Twips(100);
    if (listWidth > 0)
        m_colList->resize(listWidth, m_colList->height());
    const int listHeight = innerHeight - m_colList->y() - Twips(400);
    if (listHeight > 0)
        m_colList->resize(m_colList->width(), listHeight);
}

} // namespace zpp
