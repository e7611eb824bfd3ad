// .xlsx: the workbook's parts in their archive, the small ones read with
// QXmlStreamReader, the worksheet and its shared strings with expat
// (xlsxcells.cpp).
#include "storage/import/xlsxreader.h"
#include "storage/import/xlsxcells.h"
#include "storage/import/ziparchive.h"

#include <QHash>
#include <QXmlStreamReader>

namespace Import::Detail {

namespace {

// The relationship id of a <sheet>: its "id" attribute in the namespace of
// relationships, which the transitional and the strict workbooks name
// differently.
QString relationId(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &attribute : attributes)
        if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    return QString();
}

// A part's reader and the fault it ended with, if any.
struct Part
{
    Part(ZipArchive &zip, const QString &name)
        : device(zip, name)
        , xml(&device)
        , name(name)
    {
    }
    ZipPart device;
    QXmlStreamReader xml;
    QString name;

    // Empty when the part was read whole; else the message for the file.
    QString fault(const QString &path)
    {
        if (device.oversized())
            return oversizedMessage(path, name, device.overRatio());
        if (device.damaged())
            return damagedMessage(path);
        if (xml.hasError())
            return xmlMessage(path, name, xml.lineNumber());
        return QString();
    }
};

// A part named in a relationship: relative to the folder of the part that
// names it, or from the archive's root when it starts with '/'.
QString resolve(const QString &folder, const QString &target)
{
    if (target.startsWith('/'))
        return target.mid(1);
    QStringList parts = folder.isEmpty() ? QStringList() : folder.split('/');
    for (const QString &piece : target.split('/')) {
        if (piece == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (piece != "." && !piece.isEmpty()) {
            parts << piece;
        }
    }
    return parts.join('/');
}

QString folderOf(const QString &part)
{
    const int slash = part.lastIndexOf('/');
    return slash < 0 ? QString() : part.left(slash);
}

// The relationships of a part: id -> (type, target part).
struct Relation
{
    QString type;
    QString target;
};

QHash<QString, Relation> relationsOf(ZipArchive &zip, const QString &part, QString *error)
{
    QHash<QString, Relation> relations;
    const QString name = resolve(folderOf(part), "_rels/" + part.mid(part.lastIndexOf('/') + 1) + ".rels");
    Part rels(zip, name);
    if (!rels.device.found())
        return relations;
    while (!rels.xml.atEnd()) {
        rels.xml.readNext();
        if (rels.xml.isStartElement() && rels.xml.name() == u"Relationship") {
            const QXmlStreamAttributes a = rels.xml.attributes();
            if (a.value("TargetMode") != u"External")
                relations.insert(a.value("Id").toString(),
                                 {a.value("Type").toString(), resolve(folderOf(part), a.value("Target").toString())});
        }
    }
    *error = rels.fault(zip.path());
    return relations;
}

// Whether a custom number format shows a date: it has days, months or
// years outside its quoted texts, colours and conditions. A lone "m" beside
// hours or seconds is minutes.
bool dateFormat(const QString &code)
{
    bool day = false, month = false, year = false, hour = false, second = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i).toLower();
        if (c == '"') {
            i = code.indexOf('"', i + 1);
            if (i < 0)
                break;
        } else if (c == '[') {
            i = code.indexOf(']', i + 1);
            if (i < 0)
                break;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == ';') {
            break;
        } else {
            day |= c == 'd';
            month |= c == 'm';
            year |= c == 'y';
            hour |= c == 'h';
            second |= c == 's';
        }
    }
    return day || year || (month && !hour && !second);
}

// For each cell style (the cell's s attribute), whether it shows a date.
QVector<bool> dateStyles(ZipArchive &zip, const QString &name, QString *error)
{
    QVector<bool> styles;
    if (name.isEmpty())
        return styles;
    Part part(zip, name);
    if (!part.device.found())
        return styles;
    QHash<int, bool> custom;
    bool inCellXfs = false;
    while (!part.xml.atEnd()) {
        part.xml.readNext();
        if (part.xml.isStartElement()) {
            const auto tag = part.xml.name();
            if (tag == u"numFmt") {
                const QXmlStreamAttributes a = part.xml.attributes();
                custom.insert(a.value("numFmtId").toInt(), dateFormat(a.value("formatCode").toString()));
            } else if (tag == u"cellXfs") {
                inCellXfs = true;
            } else if (tag == u"xf" && inCellXfs) {
                const int id = part.xml.attributes().value("numFmtId").toInt();
                styles << (custom.contains(id) ? custom.value(id) : (id >= 14 && id <= 22));
            }
        } else if (part.xml.isEndElement() && part.xml.name() == u"cellXfs") {
            inCellXfs = false;
        }
    }
    *error = part.fault(zip.path());
    return styles;
}

} // namespace

void readXlsx(ZipArchive &zip, SheetFile &file)
{
    // The workbook is the part the package's relationships name, normally
    // xl/workbook.xml.
    QString workbook = "xl/workbook.xml";
    QString error;
    for (const Relation &relation : relationsOf(zip, "", &error))
        if (relation.type.endsWith("/officeDocument") && zip.contains(relation.target))
            workbook = relation.target;
    if (!error.isEmpty()) {
        file.error = error;
        return;
    }
    const QHash<QString, Relation> relations = relationsOf(zip, workbook, &error);
    if (!error.isEmpty()) {
        file.error = error;
        return;
    }

    QStringList sheetParts;
    bool from1904 = false;
    {
        Part part(zip, workbook);
        while (!part.xml.atEnd()) {
            part.xml.readNext();
            if (!part.xml.isStartElement())
                continue;
            const QXmlStreamAttributes a = part.xml.attributes();
            if (part.xml.name() == u"workbookPr") {
                const auto date1904 = a.value("date1904");
                from1904 = date1904 == u"1" || date1904 == u"true";
            } else if (part.xml.name() == u"sheet") {
                file.sheets << a.value("name").toString();
                sheetParts << relations.value(relationId(a)).target;
            }
        }
        file.error = part.fault(zip.path());
        if (!file.error.isEmpty())
            return;
    }
    if (file.sheet < 0 || file.sheet >= file.sheets.size()) {
        file.error = noSheetMessage(zip.path(), file.sheet);
        return;
    }

    QString stringsPart, stylesPart;
    for (const Relation &relation : relations) {
        if (relation.type.endsWith("/sharedStrings"))
            stringsPart = relation.target;
        else if (relation.type.endsWith("/styles"))
            stylesPart = relation.target;
    }
    QVector<QString> strings;
    if (!stringsPart.isEmpty() && zip.contains(stringsPart))
        file.error = readSharedStrings(zip, stringsPart, &strings);
    if (!file.error.isEmpty())
        return;
    const QVector<bool> dates = dateStyles(zip, stylesPart, &file.error);
    if (!file.error.isEmpty())
        return;

    Placer placer(file);
    const QString scanned = readCells(zip, sheetParts.at(file.sheet), strings, dates, from1904, placer);
    // The placer's own message, when it stopped the reading.
    if (file.error.isEmpty())
        file.error = scanned;
}

} // namespace Import::Detail
