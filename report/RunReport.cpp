#include "report/RunReport.h"

#include "report/ReportCharts.h"
#include "report/ReportDocument.h"
#include "report/ReportFormat.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextDocument>

namespace {

// Pixels per logical pixel of the figures: sharp in print and on fine screens.
constexpr qreal kFigureScale = 2;
constexpr qreal kPageWidth = 820;
constexpr qreal kFooterHeight = 24;
const QUrl kErrorChartUrl(QStringLiteral("report:error-chart.png"));
const QUrl kDeviationChartUrl(QStringLiteral("report:deviation-chart.png"));

QString pngDataUrl(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

} // namespace

bool RunReport::commitFailed(QSaveFile &file, const QString &path, QString *why)
{
    if (why)
        *why = tr("无法写入报告 %1：%2").arg(path, file.errorString());
    file.cancelWriting();
    return false;
}

RunReport::RunReport(const TestRun::RunRecord &record)
    : record(record)
{
}

bool RunReport::canDrawText(QString *why)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return true;
    if (why)
        *why = tr("生成报告需要 QGuiApplication 来绘制文字（offscreen 平台即可）");
    return false;
}

QString RunReport::html() const
{
    if (!canDrawText(nullptr))
        return QString();
    return ReportDocument::html(record, {pngDataUrl(ReportCharts::errorChart(record.steps, kFigureScale)),
                                         pngDataUrl(ReportCharts::deviationChart(record.steps, kFigureScale))});
}

bool RunReport::writeHtml(const QString &path, QString *why) const
{
    if (!canDrawText(why))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return commitFailed(file, path, why);
    const QByteArray bytes = html().toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return commitFailed(file, path, why);
    return true;
}

bool RunReport::writePdf(const QString &path, QString *why) const
{
    if (!canDrawText(why))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return commitFailed(file, path, why);
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("Accuracy report: unit %1").arg(record.unit.unitId));
        pdf.setCreator(QStringLiteral("lidar-waveform ") + record.toolVersion);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                                      QPageLayout::Millimeter));
        QTextDocument document;
        document.setHtml(ReportDocument::html(record, {kErrorChartUrl.toString(), kDeviationChartUrl.toString()}));
        document.addResource(QTextDocument::ImageResource, kErrorChartUrl,
                             ReportCharts::errorChart(record.steps, kFigureScale));
        document.addResource(QTextDocument::ImageResource, kDeviationChartUrl,
                             ReportCharts::deviationChart(record.steps, kFigureScale));
        printPages(document, pdf);
    }
    if (!file.commit())
        return commitFailed(file, path, why);
    return true;
}

// Lays the document out on pages kPageWidth pixels wide (the figures' width
// and a margin) and scales each onto the paper, with a footer naming the
// unit and the page, so a loose page still says which record it belongs to.
void RunReport::printPages(QTextDocument &document, QPdfWriter &pdf) const
{
    QPainter painter(&pdf);
    const QRectF paper = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const qreal scale = paper.width() / kPageWidth;
    const qreal pageHeight = paper.height() / scale - kFooterHeight;
    document.setPageSize(QSizeF(kPageWidth, pageHeight));
    const int pages = document.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            pdf.newPage();
        painter.save();
        painter.scale(scale, scale);
        QFont font = document.defaultFont();
        font.setPixelSize(10); // of the page's layout, scaled with it
        painter.setFont(font);
        painter.drawText(QRectF(0, pageHeight, kPageWidth, kFooterHeight), Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Accuracy report, unit %1, %2 \u2014 page %3 of %4")
                             .arg(record.unit.unitId, ReportFormat::utcTime(record.startedUtc))
                             .arg(page + 1)
                             .arg(pages));
        painter.translate(0, -page * pageHeight);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, page * pageHeight, kPageWidth, pageHeight);
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

bool RunReport::write(const QString &path, QString *why) const
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return writePdf(path, why);
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return writeHtml(path, why);
    if (why)
        *why = tr("无法从 %1 判断报告格式：文件名请以 .html 或 .pdf 结尾").arg(path);
    return false;
}

QString RunReport::baseName(const TestRun::RunRecord &record)
{
    QString unit = record.unit.unitId;
    unit.replace(QRegularExpression(QStringLiteral("[^0-9A-Za-z_-]")), QStringLiteral("_"));
    const QString time = record.startedUtc.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    return QStringLiteral("accuracy-%1-%2").arg(unit.isEmpty() ? QStringLiteral("unknown") : unit, time);
}
