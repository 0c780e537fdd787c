#pragma once

#include "component/host/contracts/GLView.h"
#include "platform/records/RecordSet.h"

#include <QString>
#include <memory>

namespace zpp {

class SchemeListView;

// The report number under which the profile service keeps this component's schemes and formats.
inline constexpr qint32 kPlanReportId = 126;
// Base-data types of the lookup view.
inline constexpr qint32 kLookupItem = 4;
inline constexpr qint32 kLookupSupplier = 8;

// The default scheme is always stored under this name, whatever the user's language.
inline const QString kDefaultSchemeName = QStringLiteral("默认方案");
// The default scheme's name as the user sees it.
QString LocalDefaultSchemeName();
// The name a scheme is stored under: the localised default name maps to the built-in one.
QString StoredSchemeName(const QString& name);
// Every ' doubled, as the profile service expects texts.
QString DoubleQuotes(const QString& text);

// Opens the base-data lookup (items or suppliers), with the record of code select chosen when
// it is listed. Gives the result when the user chose a record; nothing when the lookup was closed
// without a choice or failed (the failure is shown).
std::shared_ptr<LookupResult> LookupBaseData(qint32 baseDataType, const QString& search, const QString& extra,
                                             qint16 optionValue, const QString& select = {});

// Fills a scheme list: the default row first, then the stored schemes; the next-choose scheme
// (else the default row) is selected. Failures of the service propagate, leaving what was added.
void LoadSchemeList(qint32 reportId, SchemeListView& list);
// The stored values of a scheme ("FKey", "FValue").
RecordSetPtr GetSchemeValues(qint32 reportId, const QString& storedName);
// The value stored under key (null counts as empty), or the default when the key is absent.
QString GetSchemeValue(RecordSet& values, const QString& key, const QString& defaultValue);
void DeleteSchemeRecord(qint32 reportId, const QString& storedName);

} // namespace zpp
