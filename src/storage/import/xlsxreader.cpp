// .xlsx: the workbook's parts in their archive, read with QXmlStreamReader.
#include "storage/import/readers.h"
#include "storage/import/ziparchive.h"

#include <QHash>
#include <QXmlStreamReader>

namespace Import::Detail {

namespace {

const QString RelationshipsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

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

// Reads to the end of the current element, gathering its <t> texts (plain
// or in rich-text runs) but not the phonetic guides.
QString textOf(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    bool inText = false;
    int skip = 0;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (xml.name() == u"rPh")
                skip = depth;
            inText = xml.name() == u"t" && !skip;
            break;
        case QXmlStreamReader::EndElement:
            if (skip == depth)
                skip = 0;
            --depth;
            inText = false;
            break;
        case QXmlStreamReader::Characters:
            if (inText)
                text += xml.text();
            break;
        default:
            break;
        }
    }
    // Characters the XML cannot carry are written as _xHHHH_.
    if (text.contains(u"_x")) {
        QString decoded;
        for (qsizetype i = 0; i < text.size(); ++i) {
            bool ok = false;
            if (text.at(i) == '_' && i + 6 < text.size() && text.at(i + 1) == 'x' && text.at(i + 6) == '_') {
                const ushort code = QStringView(text).mid(i + 2, 4).toUShort(&ok, 16);
                if (ok) {
                    decoded += QChar(code);
                    i += 6;
                    continue;
                }
            }
            decoded += text.at(i);
        }
        text = decoded;
    }
    return text;
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

QVector<QString> sharedStrings(ZipArchive &zip, const QString &name, QString *error)
{
    QVector<QString> strings;
    if (name.isEmpty())
        return strings;
    Part part(zip, name);
    if (!part.device.found())
        return strings;
    while (!part.xml.atEnd()) {
        part.xml.readNext();
        if (part.xml.isStartElement()) {
            if (part.xml.name() == u"sst") {
                const int count = part.xml.attributes().value("uniqueCount").toInt();
                if (count > 0 && count < (1 << 24))
                    strings.reserve(count);
            } else if (part.xml.name() == u"si") {
                strings << textOf(part.xml);
            }
        }
    }
    *error = part.fault(zip.path());
    return strings;
}

// The column (from 0) and row (from 1) of a reference like "AB12"; -1 for a
// part that is missing or out of range.
void parseReference(QStringView ref, int *column, int *row)
{
    int c = 0, r = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref.at(i).isLetter(); ++i) {
        c = c * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
        if (c > MaxColumns)
            break;
    }
    const bool hasColumn = i > 0;
    for (; i < ref.size() && ref.at(i).isDigit(); ++i) {
        r = r * 10 + (ref.at(i).unicode() - '0');
        if (r > MaxRows)
            break;
    }
    *column = hasColumn && c <= MaxColumns ? c - 1 : -1;
    *row = r >= 1 && r <= MaxRows && i == ref.size() ? r : -1;
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
                sheetParts << relations.value(a.value(RelationshipsNs, "id").toString()).target;
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
    const QVector<QString> strings = sharedStrings(zip, stringsPart, &file.error);
    if (!file.error.isEmpty())
        return;
    const QVector<bool> dates = dateStyles(zip, stylesPart, &file.error);
    if (!file.error.isEmpty())
        return;

    Part sheet(zip, sheetParts.at(file.sheet));
    if (!sheet.device.found()) {
        file.error = damagedMessage(zip.path());
        return;
    }
    QXmlStreamReader &xml = sheet.xml;
    int row = 0;    // the current row, from 1
    int column = 0; // the next cell's column, from 0
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto tag = xml.name();
        if (tag == u"row") {
            const auto r = xml.attributes().value("r");
            const int number = r.isEmpty() ? row + 1 : r.toInt();
            if (number < 1 || number > MaxRows) {
                file.error = damagedMessage(zip.path());
                return;
            }
            row = number;
            column = 0;
        } else if (tag == u"c") {
            const QXmlStreamAttributes a = xml.attributes();
            int cellColumn = column, cellRow = row;
            const auto ref = a.value("r");
            if (!ref.isEmpty())
                parseReference(ref, &cellColumn, &cellRow);
            if (cellColumn < 0 || cellRow < 1 || cellColumn >= MaxColumns) {
                file.error = damagedMessage(zip.path());
                return;
            }
            column = cellColumn + 1;
            const auto type = a.value("t");
            const qsizetype style = a.value("s").toInt();
            QString value;
            if (type == u"inlineStr") {
                // <is> with its <t> or runs; a formula beside it is skipped.
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"is")
                        value = textOf(xml);
                    else
                        xml.skipCurrentElement();
                }
            } else {
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"v")
                        value = xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
                if (type == u"s") {
                    bool ok = false;
                    const int index = value.toInt(&ok);
                    if (!ok || index < 0 || index >= strings.size()) {
                        file.error = damagedMessage(zip.path());
                        return;
                    }
                    value = strings.at(index);
                } else if (type == u"b") {
                    value = value.isEmpty() ? QString() : value == u"0" ? QStringLiteral("ЛОЖЬ") : QStringLiteral("ИСТИНА");
                } else if (type == u"d") {
                    value = value.left(10);
                } else if ((type.isEmpty() || type == u"n") && style >= 0 && style < dates.size() && dates.at(style) &&
                           !value.isEmpty()) {
                    bool ok = false;
                    const QString date = serialDate(value.toDouble(&ok), from1904);
                    if (ok && !date.isEmpty())
                        value = date;
                }
            }
            placeCell(file.rows, cellRow - 1, cellColumn, value);
        }
    }
    file.error = sheet.fault(zip.path());
}

} // namespace Import::Detail
