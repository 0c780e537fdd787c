#pragma once

#include "LedgerPrint.h"

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace zpp::controls {

// The pages of one layout on the page they are laid out for.
struct LedgerPages {
    QPageLayout page;
    int dpi = 300;
    std::unique_ptr<LedgerLayout> layout;
    // One page as an image; scale is image pixels per layout pixel.
    QImage Image(int page, double scale) const;
};

// The print preview: one page at a time, painted only when shown, so the first page of a
// long ledger is up at once. Zoom, page navigation, print, save as PDF and page setup.
class LedgerPreview : public QDialog {
public:
    struct Source {
        std::function<std::shared_ptr<LedgerPages>()> pages; // lays the ledger out anew
        std::function<void(QWidget* parent)> print;
        std::function<bool(QWidget* parent)> setup; // true when the setup changed
        // Writes the PDF; false with the reason when it cannot be written.
        std::function<bool(const QString& file, QString* error)> savePdf;
        // Asked before a PDF is chosen: false refuses, the owner having said why. Unset allows.
        std::function<bool()> mayExport;
        // Told of each PDF written.
        std::function<void(const QString& file)> pdfSaved;
    };

    explicit LedgerPreview(Source source, QWidget* parent = nullptr);
    ~LedgerPreview() override;

    int PageCount() const;
    // 1-based.
    int CurrentPage() const { return m_page; }
    void ShowPage(int page);
    // 1 is the page at its real size on screen.
    double Zoom() const { return m_zoom; }
    void SetZoom(double zoom);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Fit { None, Width, Page };
    void Relayout();
    void ApplyZoom();
    void UpdateControls();
    void SaveAsPdf();
    void ZoomChosen(int index);

    Source m_source;
    std::shared_ptr<LedgerPages> m_pages;
    int m_page = 1;
    double m_zoom = 1;
    Fit m_fit = Fit::Width;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_view = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageCount = nullptr;
    QComboBox* m_zoomBox = nullptr;
};

} // namespace zpp::controls
