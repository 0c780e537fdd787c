// Usage: bench_export [rows [runs]].
// Figures for the export component at list size: XLSX and CSV of 100,000 rows x 35 columns
// beside the same cells written straight through libxlsxwriter and a bare buffered CSV write,
// and the peak memory after 20,000 and after 100,000 rows (it should not grow with the rows).
#include "bench/support/Memory.h"
#include "bench/support/SampleCells.h"
#include "platform/export/Exporter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>
#include <xlsxwriter.h>

using zpp::exporting::Exporter;
using zpp::exporting::ExportRow;
using zpp::exporting::Format;

namespace {

constexpr int kCols = 35;

bool IsNumberColumn(int c) {
    return c % 7 == 2 || c % 7 == 3;
}

QString CellText(int c, int r) {
    return zpp::bench::SampleCellText(c, r);
}

QString Caption(int c) {
    return QStringLiteral("列%1").arg(c);
}

struct Run {
    double ms;
    qint64 bytes;
};

Run Export(const QString& path, Format format, int rows) {
    Exporter exporter;
    exporter.SetColumnCount(kCols);
    for (int c = 1; c <= kCols; ++c) {
        exporter.SetColumnCaption(c, Caption(c));
        exporter.SetColumnDataType(c, IsNumberColumn(c) ? zpp::exporting::kNumberType
                                                        : zpp::exporting::kTextType);
    }
    exporter.SetRowCount(rows);
    QObject::connect(&exporter, &Exporter::LoadData, [](int r, ExportRow* row) {
        for (int c = 1; c <= kCols; ++c)
            row->SetValue(c, CellText(c, r));
    });
    QElapsedTimer t;
    t.start();
    QString error;
    if (!exporter.Write(path, format, QStringLiteral("采购计划"), &error))
        std::printf("export failed: %s\n", qPrintable(error));
    return {t.nsecsElapsed() / 1e6, QFileInfo(path).size()};
}

// Converts into one reused buffer, as a careful hand-written loop would.
struct Utf8 {
    QStringEncoder encoder{QStringEncoder::Utf8};
    QByteArray bytes;
    const char* operator()(const QString& text) {
        bytes.resize(encoder.requiredSpace(text.size()) + 1);
        char* end = encoder.appendToBuffer(bytes.data(), text);
        *end = 0;
        return bytes.constData();
    }
};

// The same cells through libxlsxwriter alone, constant memory.
Run BareXlsx(const QString& path, int rows) {
    QElapsedTimer t;
    t.start();
    Utf8 utf8;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "采购计划");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    worksheet_set_column(ws, 0, kCols - 1, 16, nullptr);
    worksheet_freeze_panes(ws, 1, 0);
    for (int c = 1; c <= kCols; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c - 1), Caption(c).toUtf8().constData(), bold);
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= kCols; ++c) {
            const QString text = CellText(c, r);
            if (text.isEmpty())
                continue;
            if (IsNumberColumn(c))
                worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c - 1), text.toDouble(), nullptr);
            else
                worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c - 1), utf8(text), nullptr);
        }
    }
    workbook_close(wb);
    return {t.nsecsElapsed() / 1e6, QFileInfo(path).size()};
}

// The same CSV through a plain buffered write.
Run BareCsv(const QString& path, int rows) {
    QElapsedTimer t;
    t.start();
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {0, 0};
    QByteArray buffer("\xEF\xBB\xBF");
    buffer.reserve(320 * 1024);
    QStringEncoder encoder(QStringEncoder::Utf8);
    auto append = [&](QStringView text) {
        const qsizetype old = buffer.size();
        buffer.resize(old + encoder.requiredSpace(text.size()));
        buffer.resize(encoder.appendToBuffer(buffer.data() + old, text) - buffer.constData());
    };
    auto field = [&](const QString& text) {
        if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')) {
            buffer += '"';
            append(QString(text).replace(u'"', QStringLiteral("\"\"")));
            buffer += '"';
        } else {
            append(text);
        }
    };
    for (int c = 1; c <= kCols; ++c) {
        if (c > 1)
            buffer += ',';
        field(Caption(c));
    }
    buffer += "\r\n";
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= kCols; ++c) {
            if (c > 1)
                buffer += ',';
            field(CellText(c, r));
        }
        buffer += "\r\n";
        if (buffer.size() > 256 * 1024) {
            f.write(buffer);
            buffer.resize(0);
        }
    }
    f.write(buffer);
    f.close();
    return {t.nsecsElapsed() / 1e6, QFileInfo(path).size()};
}

void Line(const char* what, const Run& run, int rows) {
    std::printf("  %-34s %8.0f ms  %6.2f M cells/s  %7.1f MB\n", what, run.ms,
                double(rows) * kCols / run.ms / 1e3, run.bytes / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int bigRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int smallRows = bigRows / 5;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir dir;
    auto at = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };

    std::printf("export, %d columns (numbers in %d of them, Chinese texts)\n", kCols, 10);
    std::printf("peak memory (VmHWM) at start %ld kB\n", zpp::bench::ProcStatusKb("VmHWM:"));

    Line("export XLSX", Export(at("small.xlsx"), Format::Xlsx, smallRows), smallRows);
    Line("export CSV", Export(at("small.csv"), Format::Csv, smallRows), smallRows);
    const long hwmSmall = zpp::bench::ProcStatusKb("VmHWM:");
    const long rssSmall = zpp::bench::ProcStatusKb("VmRSS:");

    Run xlsx = Export(at("big.xlsx"), Format::Xlsx, bigRows);
    Run csv = Export(at("big.csv"), Format::Csv, bigRows);
    const long hwmBig = zpp::bench::ProcStatusKb("VmHWM:");
    const long rssBig = zpp::bench::ProcStatusKb("VmRSS:");
    // Best of alternating runs, so that a busy moment of the machine hits neither side alone.
    auto best = [](Run& kept, const Run& run) {
        if (run.ms < kept.ms)
            kept = run;
    };
    Run bareXlsx = BareXlsx(at("bare.xlsx"), bigRows);
    Run bareCsv = BareCsv(at("bare.csv"), bigRows);
    for (int round = 1; round < runs; ++round) {
        best(bareXlsx, BareXlsx(at("bare.xlsx"), bigRows));
        best(xlsx, Export(at("big.xlsx"), Format::Xlsx, bigRows));
        best(bareCsv, BareCsv(at("bare.csv"), bigRows));
        best(csv, Export(at("big.csv"), Format::Csv, bigRows));
    }

    std::printf("%d rows, best of %d runs:\n", bigRows, runs);
    Line("export XLSX", xlsx, bigRows);
    Line("libxlsxwriter alone, same cells", bareXlsx, bigRows);
    Line("export CSV", csv, bigRows);
    Line("bare buffered CSV, same cells", bareCsv, bigRows);
    std::printf("ratio XLSX export / libxlsxwriter alone: %.2f (target within 1.30)\n",
                xlsx.ms / bareXlsx.ms);
    std::printf("ratio CSV export / bare CSV write:      %.2f (target within 1.30)\n", csv.ms / bareCsv.ms);
    std::printf("peak memory after %6d rows: VmHWM %ld kB, VmRSS %ld kB\n", smallRows, hwmSmall, rssSmall);
    std::printf("peak memory after %6d rows: VmHWM %ld kB, VmRSS %ld kB (growth %+ld kB)\n", bigRows, hwmBig,
                rssBig, hwmBig - hwmSmall);
    return 0;
}
