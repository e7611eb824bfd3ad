#include "storage/setup/descriptor.h"

#include <QFile>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <optional>

namespace Descriptor {

namespace {

// Whether c may start (`start`) or continue a name of XML 1.0; ':' is left
// out, as namespaces give it a meaning of its own.
bool isNameChar(char32_t c, bool start)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
        (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
        (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D || (c >= 0x2070 && c <= 0x218F) ||
        (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
        (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF))
        return true;
    return !start && ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
                      (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040);
}

// Whether a text is a qualified XML name: a name, or two joined by one ':'.
// The reader checks element names itself but lets an attribute name through
// with any characters in it, and the column descriptor is read by attribute
// name: a damaged one would drop the column it declares.
bool isQualifiedName(QStringView name)
{
    const QList<QStringView> parts = name.split(u':');
    if (parts.size() > 2)
        return false;
    for (const QStringView part : parts) {
        if (part.isEmpty())
            return false;
        bool start = true;
        for (const char32_t c : part.toUcs4()) {
            if (!isNameChar(c, start))
                return false;
            start = false;
        }
    }
    return true;
}

// Whether the text of a document type declaration, outside its literals,
// comments and processing instructions, holds nothing but blanks, the
// punctuation of declarations and name characters. The reader checks how the
// declarations are built but not the names in them.
bool doctypeNamesValid(QStringView dtd)
{
    for (qsizetype i = 0; i < dtd.size(); ++i) {
        const QChar c = dtd[i];
        if (c == u'"' || c == u'\'') {
            i = dtd.indexOf(c, i + 1);
        } else if (dtd.mid(i).startsWith(u"<!--")) {
            i = dtd.indexOf(u"-->", i + 4);
            i = i < 0 ? i : i + 2;
        } else if (dtd.mid(i).startsWith(u"<?")) {
            i = dtd.indexOf(u"?>", i + 2);
            i = i < 0 ? i : i + 1;
        } else if (!QStringView(u" \t\r\n<>![]()|,?*+%;#:").contains(c) && !c.isSurrogate() &&
                   !isNameChar(c.unicode(), false)) {
            return false;
        }
        if (i < 0)
            return false;
    }
    return true;
}

// Whether the file's bytes end inside a character of its encoding (the
// declared one, else the one its byte order mark or UTF-8 gives). The reader
// decodes as it goes and waits for the rest of such a character at the end
// of the file, without a word, so that bytes after the root element would
// pass where they make no character at all.
bool endsInsideCharacter(const QByteArray &bytes, QStringView declared)
{
    std::optional<QStringConverter::Encoding> encoding =
        QStringConverter::encodingForName(declared.toLatin1().constData());
    if (declared.isEmpty())
        encoding = QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    if (!encoding)
        return false;
    QStringDecoder decoder(*encoding, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(bytes);
    return decoder.hasError();
}

} // namespace

bool read(const QString &fileName, QList<Element> &elements, QString &error)
{
    QFile file(fileName);
    // Binary: the XML reader handles line ends itself, as XML defines them;
    // text mode would drop every CR, even the bytes of a UTF-16 file.
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    QXmlStreamReader xml(bytes);
    // The reader takes a document type declaration anywhere; XML allows one,
    // before the root element.
    bool prolog = true, doctype = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            if (!prolog || doctype)
                xml.raiseError(
                    QStringLiteral("объявление DOCTYPE допустимо только одно, перед корневым элементом"));
            doctype = true;
            bool named = isQualifiedName(xml.dtdName()) && doctypeNamesValid(xml.text());
            const QXmlStreamEntityDeclarations entities = xml.entityDeclarations();
            for (const QXmlStreamEntityDeclaration &d : entities)
                named = named && isQualifiedName(d.name());
            const QXmlStreamNotationDeclarations notations = xml.notationDeclarations();
            for (const QXmlStreamNotationDeclaration &d : notations)
                named = named && isQualifiedName(d.name());
            if (!named)
                xml.raiseError(QStringLiteral("недопустимое имя в объявлении DOCTYPE"));
        }
        if (token == QXmlStreamReader::StartElement) {
            prolog = false;
            Element e;
            e.name = xml.name().toString();
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute &a : attributes) {
                if (!isQualifiedName(a.qualifiedName()))
                    xml.raiseError(QStringLiteral("недопустимое имя атрибута «%1»").arg(a.qualifiedName()));
                e.attributes.append({a.name().toString(), a.value().toString()});
            }
            elements.append(e);
        }
    }
    if (!xml.hasError() && endsInsideCharacter(bytes, xml.documentEncoding()))
        xml.raiseError(QStringLiteral("файл обрывается посреди знака"));
    if (xml.hasError()) {
        error = QStringLiteral("%1: ошибка в строке %2, столбце %3: %4")
                    .arg(fileName, QString::number(xml.lineNumber()), QString::number(xml.columnNumber()),
                         xml.errorString());
        return false;
    }
    return true;
}

QString columnName(const QString &definition)
{
    const QStringView d(definition);
    const qsizetype n = d.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && (d[i] == u' ' || d[i] == u'\t' || d[i] == u'\n' || d[i] == u'\f' || d[i] == u'\r'))
            ++i;
        if (d.mid(i).startsWith(u"--")) {
            i = d.indexOf(u'\n', i);
            if (i < 0)
                return QString();
        } else if (d.mid(i).startsWith(u"/*")) {
            i = d.indexOf(u"*/", i + 2);
            if (i < 0)
                return QString();
            i += 2;
        } else {
            break;
        }
    }
    if (i == n)
        return QString();
    const QChar open = d[i];
    if (open == u'"' || open == u'`' || open == u'\'' || open == u'[') {
        const QChar close = open == u'[' ? QChar(u']') : open;
        QString name;
        for (qsizetype j = i + 1; j < n; ++j) {
            if (d[j] != close) {
                name += d[j];
            } else if (close != u']' && j + 1 < n && d[j + 1] == close) {
                name += close;
                ++j;
            } else {
                return name;
            }
        }
        return name; // unclosed: SQLite refuses the definition anyway
    }
    qsizetype end = i;
    while (end < n &&
           (d[end].isLetterOrNumber() || d[end] == u'_' || d[end] == u'$' || d[end].unicode() >= 0x80))
        ++end;
    return d.mid(i, end - i).toString();
}

} // namespace Descriptor
