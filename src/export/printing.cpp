#include "export/printing.h"

#include "storage/setup/privacy.h"
#include "view/dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QToolBar>

namespace Printing {

namespace {

// The preview paints on the printer through an engine of its own that
// records pictures; that is no file and no printer to guard.
bool previewing(QPrinter *printer)
{
    const QPaintEngine *engine = printer->paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

QString printerName(const QPrinter *printer)
{
    return printer->printerName().isEmpty() ? QStringLiteral("по умолчанию") : printer->printerName();
}

} // namespace

Outcome paint(const Paper::Document &document, QPagedPaintDevice *device, int resolution, bool greyscale,
              const Paper::Progress &progress, QString *error)
{
    const QRect area = device->pageLayout().paintRectPixels(resolution);
    // One part (a table) is laid out whole before its first page; a run of
    // parts (cards) one part at a time, so that a long run needs no more
    // memory than one part.
    const int parts = static_cast<int>(document.parts.size());
    const bool byPart = parts > 1;
    std::unique_ptr<Paper::Layout> layout;
    if (!byPart) {
        layout = Paper::Layout::make(document, device, area.width(), area.height(), progress);
        if (!layout)
            return Outcome::Cancelled;
    }
    QPainter painter;
    if (!painter.begin(device)) {
        *error = QStringLiteral("устройство печати не готово");
        return Outcome::Failed;
    }
    bool firstPage = true;
    Paper::Measures measures;
    for (int part = 0; part < (byPart ? parts : 1); ++part) {
        if (byPart)
            layout = Paper::Layout::make(document, device, area.width(), area.height(), {}, part, &measures);
        const int pages = layout->pageCount();
        for (int p = 0; p < pages; ++p) {
            if (!firstPage && !device->newPage()) {
                painter.end();
                *error = QStringLiteral("не удалось начать новую страницу");
                return Outcome::Failed;
            }
            firstPage = false;
            layout->paint(&painter, p, greyscale);
            const bool goOn = !progress || (byPart ? progress(part + 1, parts, QStringLiteral("Печать"))
                                                   : progress(p + 1, pages, QStringLiteral("Печать")));
            if (!goOn) {
                painter.end();
                return Outcome::Cancelled;
            }
        }
    }
    painter.end();
    return Outcome::Done;
}

Outcome savePdf(const Paper::Document &document, const QString &fileName, const QPageLayout &layout,
                int resolution, bool greyscale, const Paper::Progress &progress, QString *error)
{
    // Written beside the target under a temporary name and put in its place
    // when complete.
    const bool existed = QFileInfo::exists(fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("файл «%1» не открыт для записи: %2")
                     .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return Outcome::Failed;
    }
    Outcome outcome;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Ведомер"));
        writer.setResolution(resolution);
        writer.setPageLayout(layout);
        outcome = paint(document, &writer, resolution, greyscale, progress, error);
    }
    if (outcome != Outcome::Done) {
        file.cancelWriting();
        return outcome;
    }
    if (!file.commit()) {
        *error = QStringLiteral("файл «%1» не записан: %2").arg(QDir::toNativeSeparators(fileName), file.errorString());
        return Outcome::Failed;
    }
    Privacy::exported(fileName, existed);
    return Outcome::Done;
}

Outcome print(const Paper::Document &document, QPrinter *printer, const Paper::Progress &progress,
              QString *error)
{
    const bool greyscale = printer->colorMode() == QPrinter::GrayScale;
    if (!previewing(printer) && printer->outputFormat() == QPrinter::PdfFormat &&
        !printer->outputFileName().isEmpty())
        return savePdf(document, printer->outputFileName(), printer->pageLayout(), printer->resolution(),
                       greyscale, progress, error);
    const bool real = !previewing(printer);
    // Once pages go to the printer, a cancel withdraws the job.
    Paper::Progress guarded = progress;
    if (real && progress)
        guarded = [&progress, printer](int done, int total, const QString &what) {
            if (progress(done, total, what))
                return true;
            if (printer->printerState() == QPrinter::Active)
                printer->abort();
            return false;
        };
    const Outcome outcome = paint(document, printer, printer->resolution(), greyscale, guarded, error);
    if (outcome == Outcome::Failed && real)
        *error = QStringLiteral("принтер «%1» сообщил об ошибке").arg(printerName(printer));
    if (outcome == Outcome::Done && real && printer->printerState() == QPrinter::Error) {
        *error = QStringLiteral("принтер «%1» сообщил об ошибке").arg(printerName(printer));
        return Outcome::Failed;
    }
    return outcome;
}

ProgressBox::ProgressBox(QWidget *parent, const QString &title)
    : m_dialog(new QProgressDialog(parent))
{
    m_dialog->setWindowTitle(title);
    m_dialog->setCancelButtonText(QStringLiteral("Отмена"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumWidth(360);
    m_since.start();
}

ProgressBox::~ProgressBox()
{
    delete m_dialog;
}

Paper::Progress ProgressBox::progress()
{
    return [this](int done, int total, const QString &what) {
        if (!m_dialog)
            return true;
        const bool stage = what != m_what;
        // A box told of every row would spend more time than the rows.
        if (!stage && done != total && m_since.elapsed() < 40)
            return !m_dialog->wasCanceled();
        m_since.restart();
        if (stage) {
            // Each stage counts from the start again.
            m_what = what;
            m_dialog->setMaximum(std::max(total, 1));
        }
        m_dialog->setLabelText(QStringLiteral("%1: %2 из %3").arg(what).arg(done).arg(total));
        m_dialog->setValue(std::min(done, m_dialog->maximum()));
        return !m_dialog->wasCanceled();
    };
}

QString askFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &ending)
{
    QString name = QFileDialog::getSaveFileName(parent, caption, QString(), filter);
    if (!name.isEmpty() && !name.endsWith(ending, Qt::CaseInsensitive))
        name += ending;
    return name;
}

Command saveOpenDocument(const QString &notSaved,
                         const std::function<bool(const QString &fileName, QString *error)> &write)
{
    return {QStringLiteral("Сохранить в .odt…"), [notSaved, write](QWidget *preview) {
                const QString name = askFileName(preview, QStringLiteral("Сохранить в .odt"),
                                                 QStringLiteral("ODF files (*.odt)"), QStringLiteral(".odt"));
                if (name.isEmpty())
                    return;
                QString why;
                if (!write(name, &why))
                    Dialogs::warn(preview, QStringLiteral("%1 в файл «%2»: %3.")
                                               .arg(notSaved, QDir::toNativeSeparators(name), why));
            }};
}

void preview(QWidget *parent, const Paper::Document &document, QPageLayout::Orientation orientation,
             const Texts &texts, const std::vector<Command> &commands)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(orientation);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(texts.title);
    // Large enough to read a page and show every command of the tool bar.
    dialog.resize(parent ? parent->window()->size() * 0.9 : QSize(1100, 800));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter *target) {
        ProgressBox box(&dialog, texts.title);
        QString error;
        if (print(document, target, box.progress(), &error) == Outcome::Failed)
            Dialogs::warn(&dialog, QStringLiteral("%1: %2.").arg(texts.notPrinted, error));
    });
    QToolBar *bar = dialog.findChild<QToolBar *>();
    auto add = [&](const QString &text, const std::function<void()> &run) {
        QAction *action = new QAction(text, &dialog);
        QObject::connect(action, &QAction::triggered, &dialog, run);
        if (bar) {
            bar->addSeparator();
            bar->addAction(action);
        } else {
            dialog.addAction(action);
        }
    };
    add(QStringLiteral("Сохранить в PDF…"), [&] {
        const QString name =
            askFileName(&dialog, QStringLiteral("Сохранить в PDF"), QStringLiteral("PDF (*.pdf)"), QStringLiteral(".pdf"));
        if (name.isEmpty())
            return;
        ProgressBox box(&dialog, texts.title);
        QString error;
        if (savePdf(document, name, printer.pageLayout(), printer.resolution(),
                    printer.colorMode() == QPrinter::GrayScale, box.progress(), &error) == Outcome::Failed)
            Dialogs::warn(&dialog, QStringLiteral("%1: %2.").arg(texts.notSaved, error));
    });
    for (const Command &command : commands)
        add(command.text, [&dialog, run = command.run] { run(&dialog); });
    dialog.exec();
}

std::optional<Outcome> printAsked(QWidget *parent, QPageLayout::Orientation orientation,
                                  const std::function<Paper::Document()> &make, QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(orientation);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const Paper::Document document = make();
    ProgressBox box(parent, QStringLiteral("Печать"));
    return print(document, &printer, box.progress(), error);
}

} // namespace Printing
