// .ods: the tables of content.xml, read with QXmlStreamReader.
#include "storage/import/odsreader.h"
#include "storage/import/ziparchive.h"

#include <QXmlStreamReader>

namespace Import::Detail {

namespace {

const QString TableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
const QString OfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const QString TextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

// A repeat count as the file gives it, at least 1.
int repeats(const QXmlStreamAttributes &a, const QString &name)
{
    const int count = a.value(TableNs, name).toInt();
    return count > 1 ? count : 1;
}

// Reads to the end of a cell, gathering the text of its paragraphs (one
// line each) with their spaces, tabs and line breaks; notes are skipped.
QString cellText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    int paragraphs = 0;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const auto tag = xml.name();
            if (tag == u"annotation" || xml.namespaceUri() != TextNs) {
                xml.skipCurrentElement();
                break;
            }
            ++depth;
            if (tag == u"p" || tag == u"h") {
                if (paragraphs++ > 0)
                    text += '\n';
            } else if (tag == u"s") {
                const int count = xml.attributes().value(TextNs, "c").toInt();
                text += QString(qBound(1, count, 1000), ' ');
            } else if (tag == u"tab") {
                text += '\t';
            } else if (tag == u"line-break") {
                text += '\n';
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (depth > 1)
                text += xml.text();
            break;
        default:
            break;
        }
        // Longer than a cell holds: kept one past the limit, which refuses it.
        if (text.size() > MaxCellText)
            text.truncate(MaxCellText + 1);
    }
    return text;
}

// A cell's value as text: the number itself for numbers, the date for
// dates, the shown text otherwise. Reads to the end of the cell.
QString cellValue(QXmlStreamReader &xml)
{
    const QXmlStreamAttributes a = xml.attributes();
    const auto type = a.value(OfficeNs, "value-type");
    QString value;
    if (type == u"float" || type == u"percentage" || type == u"currency")
        value = a.value(OfficeNs, "value").toString();
    else if (type == u"date")
        value = a.value(OfficeNs, "date-value").left(10).toString();
    else if (type == u"boolean")
        value = a.value(OfficeNs, "boolean-value") == u"true" ? QStringLiteral("ИСТИНА") : QStringLiteral("ЛОЖЬ");
    const QString text = cellText(xml);
    return value.isEmpty() ? text : value;
}

// Reads the cells of a table row (the reader at its start) into `cells`,
// until the row ends or a cell is beyond the sheet's limits (`outOfRange`)
// or refused by the placer (`refused`, its message in the file).
void readCells(QXmlStreamReader &xml, Placer &placer, int row, Row &cells, bool *outOfRange, bool *refused)
{
    int column = 0;
    while (xml.readNextStartElement()) {
        const bool cell = xml.namespaceUri() == TableNs &&
                          (xml.name() == u"table-cell" || xml.name() == u"covered-table-cell");
        if (!cell) {
            xml.skipCurrentElement();
            continue;
        }
        const int cellRepeats = repeats(xml.attributes(), "number-columns-repeated");
        const QString value = cellValue(xml);
        if (!value.isEmpty()) {
            if (qint64(column) + cellRepeats > MaxColumns || row >= MaxRows) {
                *outOfRange = true;
                return;
            }
            if (!placer.fits(row, column, value.size())) {
                *refused = true;
                return;
            }
            cells.set(column, value, cellRepeats);
        }
        column = static_cast<int>(qMin<qint64>(qint64(column) + cellRepeats, MaxColumns));
    }
}

} // namespace

void readOds(ZipArchive &zip, SheetFile &file)
{
    QByteArray manifest;
    if (zip.read("META-INF/manifest.xml", &manifest) && manifest.contains("encryption-data")) {
        file.error = encryptedMessage(zip.path());
        return;
    }
    const QString partName = "content.xml";
    ZipPart part(zip, partName);
    QXmlStreamReader xml(&part);
    // Rows and cells are placed as they come; empty ones, and the repeats
    // of them that fill a sheet to its end, are only counted, so a trailing
    // repeat of a million empty rows costs nothing.
    Placer placer(file);
    int table = -1;
    bool chosen = false;
    int row = 0;
    bool outOfRange = false;
    bool refused = false;
    while (!xml.atEnd() && !outOfRange && !refused) {
        xml.readNext();
        if (!xml.isStartElement() || xml.namespaceUri() != TableNs)
            continue;
        const auto tag = xml.name();
        if (tag == u"table") {
            ++table;
            file.sheets << xml.attributes().value(TableNs, "name").toString();
            chosen = table == file.sheet;
            row = 0;
            if (!chosen)
                xml.skipCurrentElement();
        } else if (chosen && tag == u"table-row") {
            // A repeated row is stored once and shared by its repeats; a
            // repeated cell is one run of its row.
            const int rowRepeats = repeats(xml.attributes(), "number-rows-repeated");
            Row cells;
            readCells(xml, placer, row, cells, &outOfRange, &refused);
            if (!cells.isEmpty() && !outOfRange && !refused) {
                if (qint64(row) + rowRepeats > MaxRows) {
                    outOfRange = true;
                    break;
                }
                if (!placer.placeRow(row, cells, rowRepeats)) {
                    refused = true;
                    break;
                }
            }
            row = static_cast<int>(qMin<qint64>(qint64(row) + rowRepeats, MaxRows));
        }
    }
    if (refused)
        return;
    if (!part.found()) {
        file.error = damagedMessage(zip.path());
    } else if (part.oversized()) {
        file.error = oversizedMessage(zip.path(), partName, part.overRatio());
    } else if (part.damaged() || outOfRange) {
        file.error = damagedMessage(zip.path());
    } else if (xml.hasError()) {
        file.error = xmlMessage(zip.path(), partName, xml.lineNumber());
    } else if (file.sheet < 0 || file.sheet >= file.sheets.size()) {
        file.error = noSheetMessage(zip.path(), file.sheet);
    }
}

} // namespace Import::Detail
