#include "frmPOHighPrice.h"

#include "BillModels.h"
#include "BillUi.h"
#include "component/host/Lang.h"
#include "platform/records/Values.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zpp::services {

frmPOHighPrice::frmPOHighPrice(QVector<HighPriceLine> lines, double tolerance, bool showPrices,
                               QWidget* parent)
    : QDialog(parent), m_lines(std::move(lines)) {
    setObjectName(QStringLiteral("frmPOHighPrice"));
    const QString title = GetLangString(QStringLiteral("采购单价超过限价"));
    setWindowTitle(title);
    setAccessibleName(title);
    setSizeGripEnabled(true);

    auto* prompt = new QLabel(
        GetLangString(QStringLiteral("以下物料的单价高于供应商价格表单价加 %1% 的限价，是否继续下推？"))
            .arg(billui::Number(tolerance, 2, 0)),
        this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    prompt->setWordWrap(true);

    auto caption = [](const char* text) { return GetLangString(QString::fromUtf8(text)); };
    QVector<BillRowsModel::Column> columns = {
        {caption("行号"), true}, {caption("物料代码")}, {caption("物料名称")}, {caption("供应商")}};
    if (showPrices)
        columns += {{caption("单价"), true}, {caption("限价"), true}, {caption("价格表单价"), true}};
    m_model = new BillRowsModel(columns, this);
    QVector<QStringList> rows;
    for (const HighPriceLine& l : m_lines) {
        auto price = [](double v) { return billui::Number(v, 4, 2); };
        rows << QStringList{QString::number(l.GridRow), l.ItemNumber, l.ItemName,
                            l.SupplyNumber + QLatin1Char(' ') + l.SupplyName};
        if (showPrices)
            rows.back() << price(l.Price) << price(l.Allowed) << price(l.ListPrice);
    }
    m_model->SetRows(rows, {});
    m_view = billui::MakeList(m_model, "grdLines", title, this);
    prompt->setBuddy(m_view);

    auto* go = billui::MakeButton(GetLangString(QStringLiteral("继续下推")), "cmdContinue", this);
    auto* stop = billui::MakeButton(GetLangString(QStringLiteral("取消下推")), "cmdCancel", this);
    stop->setDefault(true);
    connect(go, &QPushButton::clicked, this, &QDialog::accept);
    connect(stop, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(go);
    buttons->addWidget(stop);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(prompt);
    outer->addWidget(m_view, 1);
    outer->addLayout(buttons);
    billui::UseFormFont(this);
    m_view->setCurrentIndex(m_model->index(0, 0));
    billui::FitToList(this, m_view, 640, QWIDGETSIZE_MAX, 320);
}

const HighPriceLine& frmPOHighPrice::SelectedLine() const {
    const int row = m_view->currentIndex().row();
    return row >= 0 && row < m_lines.size() ? m_lines[row] : m_lines.front();
}

} // namespace zpp::services
