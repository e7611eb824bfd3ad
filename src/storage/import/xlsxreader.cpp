// .xlsx: the workbook's parts in their archive, the small ones read with
// QXmlStreamReader, the worksheet and its shared strings with expat.
#include "storage/import/readers.h"
#include "storage/import/ziparchive.h"

#include <QHash>
#include <QXmlStreamReader>

#include <expat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

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

// Characters the XML cannot carry are written as _xHHHH_.
QString unescape(QString text)
{
    if (!text.contains(u"_x", Qt::CaseSensitive))
        return text;
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
    return decoded;
}

// A text of a part, with its _xHHHH_ escapes read.
QString fromUtf8(const std::string &text)
{
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return text.find("_x") == std::string::npos ? decoded : unescape(decoded);
}

// The worksheet and its shared strings hold nearly all of a workbook's
// bytes: they are read with expat, several times faster than
// QXmlStreamReader (for a roster of 200,000 rows, the difference between
// reading it in a second or two or in five).
// The small parts stay with QXmlStreamReader.

// The name of an element or attribute without its prefix: the parts are
// read without namespace processing, which would give every name its whole
// namespace to compare.
const char *localName(const char *name)
{
    for (const char *at = name; *at; ++at)
        if (*at == ':')
            return at + 1;
    return name;
}

const char *attribute(const char **attributes, const char *name)
{
    for (; *attributes; attributes += 2)
        if (strcmp(localName(attributes[0]), name) == 0)
            return attributes[1];
    return nullptr;
}

// Reads a part, handing the handler its elements and texts (start(name,
// attributes), end(name), text(data, size)); the handler stops the reading
// by setting its error. Returns the message of what went wrong, or an
// empty one.
template<class Handler>
QString scan(ZipArchive &zip, const QString &name, Handler &handler)
{
    ZipPart part(zip, name);
    if (!part.found())
        return damagedMessage(zip.path());
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                                  XML_ParserFree);
    if (!parser)
        return damagedMessage(zip.path());
    handler.parser = parser.get();
    XML_SetUserData(parser.get(), &handler);
    XML_SetElementHandler(
        parser.get(),
        [](void *user, const XML_Char *element, const XML_Char **attributes) {
            static_cast<Handler *>(user)->start(element, attributes);
        },
        [](void *user, const XML_Char *element) { static_cast<Handler *>(user)->end(element); });
    XML_SetCharacterDataHandler(parser.get(), [](void *user, const XML_Char *data, int size) {
        static_cast<Handler *>(user)->text(data, size);
    });
    // The part is inflated and parsed a piece at a time: only the cells
    // stay in memory, never the part's whole text.
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    for (;;) {
        const qint64 read = part.read(buffer.get(), 1 << 20);
        const bool last = read <= 0;
        if (last && part.damaged())
            return part.oversized() ? oversizedMessage(zip.path(), name, part.overRatio())
                                    : damagedMessage(zip.path());
        if (XML_Parse(parser.get(), buffer.get(), last ? 0 : static_cast<int>(read), last) != XML_STATUS_OK) {
            if (!handler.error.isEmpty())
                return handler.error;
            return xmlMessage(zip.path(), name, static_cast<qint64>(XML_GetCurrentLineNumber(parser.get())));
        }
        if (last)
            return QString();
    }
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

// The shared strings, by index: the <t> texts of each <si>, plain or in
// rich-text runs, without the phonetic guides.
struct StringsScan
{
    XML_Parser parser = nullptr;
    QString error;
    QString tooLarge;
    QVector<QString> strings;
    qint64 characters = 0;
    std::string current;
    bool inText = false;
    int phonetic = 0;

    void start(const char *qualified, const char **attributes)
    {
        const char *name = localName(qualified);
        if (strcmp(name, "si") == 0) {
            current.clear();
        } else if (strcmp(name, "t") == 0) {
            inText = phonetic == 0;
        } else if (strcmp(name, "rPh") == 0) {
            ++phonetic;
        } else if (strcmp(name, "sst") == 0) {
            const char *count = attribute(attributes, "uniqueCount");
            const long unique = count ? strtol(count, nullptr, 10) : 0;
            if (unique > 0 && unique < (1 << 24))
                strings.reserve(static_cast<qsizetype>(unique));
        }
    }
    void end(const char *qualified)
    {
        const char *name = localName(qualified);
        if (strcmp(name, "t") == 0)
            inText = false;
        else if (strcmp(name, "rPh") == 0)
            --phonetic;
        else if (strcmp(name, "si") == 0) {
            strings.append(fromUtf8(current));
            characters += strings.constLast().size();
            if (characters > MaxCharacters || strings.size() > MaxCells)
                stop();
        }
    }
    void text(const char *data, int size)
    {
        if (!inText)
            return;
        current.append(data, static_cast<size_t>(size));
        // A cell holds no more: a longer string is never a cell's text.
        if (current.size() > size_t(4) * MaxCellText)
            current.resize(size_t(4) * MaxCellText);
    }
    void stop()
    {
        error = tooLarge;
        XML_StopParser(parser, XML_FALSE);
    }
};

// The column (from 0) and row (from 1) of a reference like "AB12"; -1 for a
// part that is missing or out of range.
void parseReference(const char *ref, int *column, int *row)
{
    int c = 0, r = 0;
    const char *at = ref;
    for (; isalpha(static_cast<unsigned char>(*at)) && c <= MaxColumns; ++at)
        c = c * 26 + (toupper(static_cast<unsigned char>(*at)) - 'A' + 1);
    const bool hasColumn = at != ref;
    for (; isdigit(static_cast<unsigned char>(*at)) && r <= MaxRows; ++at)
        r = r * 10 + (*at - '0');
    *column = hasColumn && c <= MaxColumns ? c - 1 : -1;
    *row = r >= 1 && r <= MaxRows && *at == 0 ? r : -1;
}

// The cells of a worksheet, each placed by its reference (or after the cell
// before it when it has none).
struct SheetScan
{
    enum Type { Number, Shared, Inline, Boolean, IsoDate, Text };

    XML_Parser parser = nullptr;
    QString error;
    QString damaged;
    const QVector<QString> *strings = nullptr;
    const QVector<bool> *dates = nullptr;
    bool from1904 = false;
    Placer *placer = nullptr;

    int row = 0;    // the current row, from 1
    int column = 0; // the next cell's column, from 0
    int cellRow = 0;
    int cellColumn = 0;
    Type type = Number;
    long style = 0;
    std::string value;
    bool inCell = false;
    bool inValue = false;
    bool inInline = false;
    bool inText = false;
    int phonetic = 0;

    void fail()
    {
        error = damaged;
        if (parser)
            XML_StopParser(parser, XML_FALSE);
    }
    void start(const char *qualified, const char **attributes)
    {
        const char *name = localName(qualified);
        if (strcmp(name, "c") == 0) {
            cellRow = row;
            cellColumn = column;
            if (const char *ref = attribute(attributes, "r"))
                parseReference(ref, &cellColumn, &cellRow);
            if (cellColumn < 0 || cellColumn >= MaxColumns || cellRow < 1)
                return fail();
            column = cellColumn + 1;
            const char *t = attribute(attributes, "t");
            type = !t || strcmp(t, "n") == 0 ? Number
                   : strcmp(t, "s") == 0     ? Shared
                   : strcmp(t, "inlineStr") == 0 ? Inline
                   : strcmp(t, "b") == 0         ? Boolean
                   : strcmp(t, "d") == 0         ? IsoDate
                                                 : Text;
            const char *s = attribute(attributes, "s");
            style = s ? strtol(s, nullptr, 10) : 0;
            value.clear();
            inCell = true;
        } else if (inCell && strcmp(name, "v") == 0) {
            inValue = type != Inline;
        } else if (inCell && strcmp(name, "is") == 0) {
            inInline = true;
        } else if (inInline && strcmp(name, "t") == 0) {
            inText = phonetic == 0;
        } else if (inInline && strcmp(name, "rPh") == 0) {
            ++phonetic;
        } else if (strcmp(name, "row") == 0) {
            const char *r = attribute(attributes, "r");
            const long number = r ? strtol(r, nullptr, 10) : row + 1;
            if (number < 1 || number > MaxRows)
                return fail();
            row = static_cast<int>(number);
            column = 0;
        }
    }
    void end(const char *qualified)
    {
        const char *name = localName(qualified);
        if (strcmp(name, "v") == 0) {
            inValue = false;
        } else if (strcmp(name, "t") == 0) {
            inText = false;
        } else if (strcmp(name, "rPh") == 0) {
            --phonetic;
        } else if (strcmp(name, "is") == 0) {
            inInline = false;
        } else if (strcmp(name, "c") == 0 && inCell) {
            inCell = false;
            if (!placer->place(cellRow - 1, cellColumn, cellText()))
                stop();
        }
    }
    void text(const char *data, int size)
    {
        if (!inValue && !inText)
            return;
        value.append(data, static_cast<size_t>(size));
        // Past what a cell holds in any encoding: refused by its place.
        if (value.size() > size_t(4) * MaxCellText && !placer->fits(cellRow - 1, cellColumn, MaxCellText + 1))
            stop();
    }
    // The placer has said why.
    void stop()
    {
        XML_StopParser(parser, XML_FALSE);
        error = QStringLiteral("-");
    }
    QString cellText()
    {
        if (value.empty())
            return QString();
        switch (type) {
        case Shared: {
            char *rest = nullptr;
            const long index = strtol(value.c_str(), &rest, 10);
            if (*rest != 0 || index < 0 || index >= strings->size()) {
                fail();
                return QString();
            }
            return strings->at(index);
        }
        case Inline:
            return fromUtf8(value);
        case Boolean:
            return value == "0" ? QStringLiteral("ЛОЖЬ") : QStringLiteral("ИСТИНА");
        case IsoDate:
            return QString::fromUtf8(value.data(), qMin<qsizetype>(10, static_cast<qsizetype>(value.size())));
        case Number:
            if (style >= 0 && style < dates->size() && dates->at(style)) {
                char *rest = nullptr;
                const QString date = serialDate(strtod(value.c_str(), &rest), from1904);
                if (*rest == 0 && !date.isEmpty())
                    return date;
            }
            break;
        case Text:
            break;
        }
        return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    }
};

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
    StringsScan strings;
    strings.tooLarge = QString("Файл «%1» слишком велик для импорта: в его общих строках больше %2 млн знаков "
                               "текста. Разделите таблицу на части.")
                           .arg(shownName(zip.path()), QString::number(MaxCharacters / 1000000));
    if (!stringsPart.isEmpty() && zip.contains(stringsPart))
        file.error = scan(zip, stringsPart, strings);
    if (!file.error.isEmpty())
        return;
    const QVector<bool> dates = dateStyles(zip, stylesPart, &file.error);
    if (!file.error.isEmpty())
        return;

    SheetScan sheet;
    sheet.damaged = damagedMessage(zip.path());
    sheet.strings = &strings.strings;
    sheet.dates = &dates;
    sheet.from1904 = from1904;
    Placer placer(file);
    sheet.placer = &placer;
    const QString scanned = scan(zip, sheetParts.at(file.sheet), sheet);
    // The placer's own message, when it stopped the reading.
    if (file.error.isEmpty())
        file.error = scanned;
}

} // namespace Import::Detail
