#ifndef PRINTING_H
#define PRINTING_H

#include "export/paper.h"

#include <QElapsedTimer>
#include <QPageLayout>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPrinter;
class QProgressDialog;
class QWidget;

// Paper documents on printers, in PDF files and in the print preview.
namespace Printing {

enum class Outcome { Done, Cancelled, Failed };

// Lays the document out and paints it on a printer as the print dialog or
// the preview set it up. A printer that writes a PDF file writes it as
// savePdf() does. On failure says why in `error`.
Outcome print(const Paper::Document &document, QPrinter *printer, const Paper::Progress &progress,
              QString *error);

// Writes the document to a PDF file whole or not at all: until the last page
// is written an earlier file of that name stays as it was, and a cancelled or
// failed write leaves nothing behind.
Outcome savePdf(const Paper::Document &document, const QString &fileName, const QPageLayout &layout,
                int resolution, bool greyscale, const Paper::Progress &progress, QString *error);

// Pages painted onto any paged device (a printer, a PDF writer): the layout
// first, then page by page.
Outcome paint(const Paper::Document &document, QPagedPaintDevice *device, int resolution, bool greyscale,
              const Paper::Progress &progress, QString *error);

// A progress box with a cancel button over a window, shown once the work
// has taken half a second, so that short work shows nothing.
class ProgressBox
{
public:
    ProgressBox(QWidget *parent, const QString &title);
    ~ProgressBox();
    ProgressBox(const ProgressBox &) = delete;
    ProgressBox &operator=(const ProgressBox &) = delete;

    Paper::Progress progress();

private:
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_since;
    QString m_what;
};

// Asks the print dialog for an A4 printer (of the orientation given, which
// the user may change) and prints on it, under a progress box, the document
// `make` gives then; nothing when the dialog is closed.
std::optional<Outcome> printAsked(QWidget *parent, QPageLayout::Orientation orientation,
                                  const std::function<Paper::Document()> &make, QString *error);

// What the preview says: its window title and the beginnings of its
// messages ("Таблица не напечатана", "Таблица не сохранена").
struct Texts
{
    QString title;
    QString notPrinted;
    QString notSaved;
};

// A further command of the preview's tool bar, run with the preview as parent.
struct Command
{
    QString text;
    std::function<void(QWidget *preview)> run;
};

// Shows the document in the print preview on A4 paper of the orientation
// given. From there it is printed (the print dialog also offers a PDF file)
// or saved as PDF, or handed to the further commands.
void preview(QWidget *parent, const Paper::Document &document, QPageLayout::Orientation orientation,
             const Texts &texts, const std::vector<Command> &commands = {});

// Asks for a file name with the given filter ("PDF (*.pdf)") and gives it
// the ending when it lacks it; empty when the user cancelled.
QString askFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &ending);

// The preview's command "Сохранить в .odt…": asks for the file name and
// writes the file with `write`; a failure is told in a box beginning with
// `notSaved` ("Карточка не сохранена в файл «…»: …").
Command saveOpenDocument(const QString &notSaved,
                         const std::function<bool(const QString &fileName, QString *error)> &write);

} // namespace Printing

#endif // PRINTING_H
