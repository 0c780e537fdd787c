#pragma once

#include "component/host/contracts/GLView.h"
#include "services/ServiceFixture.h"

namespace zpp::services {
class BaseDataModel;
class frmBaseDataLookup;
} // namespace zpp::services

namespace zpp::test {

// A store of either kind holding a few hand-made items and suppliers:
//   items   01.001 六角螺栓, 01.002 六角螺母, 01.010 平垫圈, 02.001 冷轧钢板, A-100 Widget,
//           B-200 Äpfelkiste, P50%折扣件 50%折扣件, X_1 下划线件, XA1 普通件, Z!1 注意!标签,
//           and kBulkItems items 03.0000.. named 批量物料 (more than two pages)
//   suppliers 01.001 上海宏达五金有限公司 (13 %), 01.002 苏州恒信电子科技有限公司 (9 %),
//             02.001 佛山顺达塑胶制品厂 (3 %)
class LookupTest : public WiredStoreTest {
protected:
    static constexpr int kBulkItems = 250;
    void Seed() override;
    // Opens the lookup through the service; act runs while its window is open.
    std::shared_ptr<LookupResult> Lookup(qint32 type, const QString& search,
                                         const std::function<void(services::frmBaseDataLookup&)>& act);
};

// Every code the model lists once all its pages are read.
QStringList AllCodes(services::BaseDataModel& model);

// Parts of an open lookup window.
services::BaseDataModel& ModelOf(services::frmBaseDataLookup& window);
QString CurrentCode(services::frmBaseDataLookup& window);
// Types text into the search box as an input method commits it, then waits for the list.
void TypeText(services::frmBaseDataLookup& window, const QString& text);

} // namespace zpp::test
