#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>

namespace zpp::controls {
class LedgerGrid;
}

namespace zpp::services {

// Qt names each glyph in a PDF's text layer after the first code point the font draws with it,
// and CJK fonts draw 日 and the radical ⽇ (U+2F47) alike, 页 and ⻚ alike, "fi" as the ligature
// ﬁ: a search for 日期 then finds nothing. Given every text the pages draw, names each glyph
// after the character that was drawn. False, with pdf unchanged, for a file not laid out as Qt
// writes it.
bool MendPdfText(QByteArray& pdf, const QString& drawnTexts, const QList<QFont>& fonts);
// The same for a PDF a ledger wrote, given the ledger that wrote it.
bool MendLedgerPdf(QByteArray& pdf, controls::LedgerGrid& ledger);
// The same for a PDF that a ledger filled by FillLedger wrote to a file (the preview's "save as
// PDF"); false, with the file as it was, when it cannot be read, mended or written.
bool MendLedgerPdfFile(const QString& path, controls::LedgerGrid& ledger);

} // namespace zpp::services
