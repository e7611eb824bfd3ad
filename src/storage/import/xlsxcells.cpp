// The worksheet and its shared strings of an .xlsx, read with expat (the
// small parts stay with QXmlStreamReader in xlsxreader.cpp).
#include "storage/import/xlsxcells.h"
#include "storage/import/ziparchive.h"

#include <expat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace Import::Detail {

namespace {

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

QString readSharedStrings(ZipArchive &zip, const QString &part, QVector<QString> *strings)
{
    StringsScan reading;
    reading.tooLarge = QString("Файл «%1» слишком велик для импорта: в его общих строках больше %2 млн знаков "
                               "текста. Разделите таблицу на части.")
                           .arg(shownName(zip.path()), QString::number(MaxCharacters / 1000000));
    const QString error = scan(zip, part, reading);
    *strings = std::move(reading.strings);
    return error;
}

QString readCells(ZipArchive &zip, const QString &part, const QVector<QString> &strings, const QVector<bool> &dates,
                  bool from1904, Placer &placer)
{
    SheetScan sheet;
    sheet.damaged = damagedMessage(zip.path());
    sheet.strings = &strings;
    sheet.dates = &dates;
    sheet.from1904 = from1904;
    sheet.placer = &placer;
    return scan(zip, part, sheet);
}

} // namespace Import::Detail
