#include "results/printing.h"

#include "platform/files.h"
#include "platform/ini.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

#include <system_error>

namespace veltron {

namespace {

QString qpath(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

} // namespace

void paintSheetOnDevice(const Sheet& sheet, QPainter& painter, const PrintDevice& device) {
    const PageRect r = fitPage(sheet.width(), sheet.height(), device);
    if (r.width <= 0 || r.height <= 0) {
        throw PrintError("размер страницы принтера не определён");
    }
    painter.save();
    painter.translate(r.x, r.y);
    painter.scale(static_cast<double>(r.width) / sheet.width(), static_cast<double>(r.height) / sheet.height());
    renderSheet(sheet, painter);
    painter.restore();
}

void SystemPrinter::print(const Sheet& sheet, const std::string& jobName) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        throw PrintError("нет принтера по умолчанию");
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setFullPage(true); // the painter's origin is the corner of the paper
    printer.setDocName(QString::fromStdString(jobName));
    if (!printer.isValid()) {
        throw PrintError("принтер " + info.printerName().toStdString() + " недоступен");
    }
    const int dpi = printer.resolution();
    const QRect paper = printer.pageLayout().fullRectPixels(dpi);
    const QRect paint = printer.pageLayout().paintRectPixels(dpi);
    const PrintDevice device{paper.width(), paper.height(), paint.x(), paint.y()};

    QPainter painter;
    if (!painter.begin(&printer)) {
        throw PrintError("принтер " + info.printerName().toStdString() + " не принял задание");
    }
    paintSheetOnDevice(sheet, painter, device);
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        throw PrintError("задание на принтере " + info.printerName().toStdString() + " не выполнено");
    }
}

void writeSheetPdf(const Sheet& sheet, const std::filesystem::path& file, const std::string& title) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::filesystem::path part = file;
    part += ".part";
    {
        QPdfWriter writer(qpath(part));
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QString::fromStdString(title));
        writer.setCreator(QStringLiteral("veltron"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            throw PrintError("не удалось создать " + file.string());
        }
        paintSheetOnDevice(sheet, painter, PrintDevice{writer.width(), writer.height(), 0, 0});
        painter.end();
    }
    if (std::filesystem::file_size(part, ec) == 0 || ec) {
        std::filesystem::remove(part, ec);
        throw PrintError("не удалось записать " + file.string());
    }
    std::filesystem::rename(part, file, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        throw PrintError("не удалось записать " + file.string());
    }
}

std::filesystem::path pdfCopyFile(const std::filesystem::path& folder, const std::string& measurementName) {
    std::string name;
    for (const char c : measurementName) {
        const auto u = static_cast<unsigned char>(c);
        const bool bad = u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                         c == '<' || c == '>' || c == '|';
        name += bad ? '_' : c;
    }
    if (name.empty() || name == "." || name == "..") {
        name = "_" + name;
    }
    return folder / (name + ".pdf");
}

void saveSheetBitmap(const Sheet& sheet, const std::filesystem::path& file) {
    const QImage image = renderSheetImage(sheet).convertToFormat(QImage::Format_RGB888);
    if (!image.save(qpath(file), "BMP")) {
        throw PrintError("не удалось записать " + file.string());
    }
}

bool openWithDesktop(const std::filesystem::path& file) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {qpath(file)});
}

std::filesystem::path readPdfFolder(const std::filesystem::path& setupIni, const std::filesystem::path& workDir) {
    const std::optional<std::string> value = IniFile::load(setupIni).get("Veltron", "PdfFolder");
    if (!value || value->empty()) {
        return {};
    }
    const std::filesystem::path p(*value);
    return p.is_absolute() ? p : files::resolve(workDir, *value);
}

} // namespace veltron
