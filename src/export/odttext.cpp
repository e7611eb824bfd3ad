#include "export/odttext.h"

#include "export/tableexport.h"

#include <QXmlStreamWriter>

namespace OdtText {

using Odf::FO;
using Odf::OFFICE;
using Odf::STYLE;
using Odf::SVG;
using Odf::TABLE;
using Odf::TEXT;

QString family()
{
    return QStringLiteral("Times New Roman");
}

QString centimetres(double cm)
{
    return QString::number(cm, 'f', 3) + QStringLiteral("cm");
}

void start(QXmlStreamWriter &xml, const QString &root)
{
    xml.writeStartDocument();
    xml.writeNamespace(OFFICE, QStringLiteral("office"));
    xml.writeNamespace(STYLE, QStringLiteral("style"));
    xml.writeNamespace(TEXT, QStringLiteral("text"));
    xml.writeNamespace(TABLE, QStringLiteral("table"));
    xml.writeNamespace(FO, QStringLiteral("fo"));
    xml.writeNamespace(SVG, QStringLiteral("svg"));
    xml.writeStartElement(OFFICE, root);
    xml.writeAttribute(OFFICE, QStringLiteral("version"), QStringLiteral("1.2"));
    xml.writeStartElement(OFFICE, QStringLiteral("font-face-decls"));
    xml.writeEmptyElement(STYLE, QStringLiteral("font-face"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), family());
    xml.writeAttribute(SVG, QStringLiteral("font-family"), QStringLiteral("'%1'").arg(family()));
    xml.writeAttribute(STYLE, QStringLiteral("font-family-generic"), QStringLiteral("roman"));
    xml.writeEndElement();
}

void paragraphStyle(QXmlStreamWriter &xml, const QString &name, double points, bool bold,
                    const std::function<void()> &paragraphProperties)
{
    xml.writeStartElement(STYLE, QStringLiteral("style"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), name);
    xml.writeAttribute(STYLE, QStringLiteral("family"), QStringLiteral("paragraph"));
    if (paragraphProperties) {
        xml.writeStartElement(STYLE, QStringLiteral("paragraph-properties"));
        paragraphProperties();
        xml.writeEndElement();
    }
    xml.writeEmptyElement(STYLE, QStringLiteral("text-properties"));
    xml.writeAttribute(STYLE, QStringLiteral("font-name"), family());
    xml.writeAttribute(FO, QStringLiteral("font-size"), QStringLiteral("%1pt").arg(points));
    if (bold)
        xml.writeAttribute(FO, QStringLiteral("font-weight"), QStringLiteral("bold"));
    xml.writeEndElement();
}

void paragraph(QXmlStreamWriter &xml, const QString &style, const QString &text, const QString &trailing)
{
    xml.writeStartElement(TEXT, QStringLiteral("p"));
    xml.writeAttribute(TEXT, QStringLiteral("style-name"), style);
    xml.writeCharacters(text);
    if (!trailing.isEmpty()) {
        xml.writeEmptyElement(TEXT, QStringLiteral("tab"));
        xml.writeCharacters(trailing);
    }
    xml.writeEndElement();
}

QByteArray styles()
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    start(xml, QStringLiteral("document-styles"));
    xml.writeStartElement(OFFICE, QStringLiteral("styles"));
    xml.writeStartElement(STYLE, QStringLiteral("default-style"));
    xml.writeAttribute(STYLE, QStringLiteral("family"), QStringLiteral("paragraph"));
    xml.writeEmptyElement(STYLE, QStringLiteral("text-properties"));
    xml.writeAttribute(STYLE, QStringLiteral("font-name"), family());
    xml.writeAttribute(FO, QStringLiteral("font-size"), QStringLiteral("11pt"));
    xml.writeAttribute(FO, QStringLiteral("language"), QStringLiteral("ru"));
    xml.writeAttribute(FO, QStringLiteral("country"), QStringLiteral("RU"));
    xml.writeEndElement();
    xml.writeEndElement(); // styles
    xml.writeStartElement(OFFICE, QStringLiteral("automatic-styles"));
    xml.writeStartElement(STYLE, QStringLiteral("page-layout"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), QStringLiteral("A4"));
    xml.writeEmptyElement(STYLE, QStringLiteral("page-layout-properties"));
    xml.writeAttribute(FO, QStringLiteral("page-width"), centimetres(PAGE_WIDTH_CM));
    xml.writeAttribute(FO, QStringLiteral("page-height"), centimetres(PAGE_HEIGHT_CM));
    xml.writeAttribute(STYLE, QStringLiteral("print-orientation"), QStringLiteral("portrait"));
    for (const char *side : {"margin-top", "margin-bottom", "margin-left", "margin-right"})
        xml.writeAttribute(FO, QString::fromLatin1(side), centimetres(MARGIN_CM));
    xml.writeEndElement(); // page-layout
    xml.writeEndElement(); // automatic-styles
    xml.writeStartElement(OFFICE, QStringLiteral("master-styles"));
    xml.writeEmptyElement(STYLE, QStringLiteral("master-page"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), QStringLiteral("Standard"));
    xml.writeAttribute(STYLE, QStringLiteral("page-layout-name"), QStringLiteral("A4"));
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

bool write(const QByteArray &content, const QString &fileName, QString *error)
{
    return TableExport::writeOpenDocument(QByteArrayLiteral("application/vnd.oasis.opendocument.text"),
                                          content, styles(), fileName, error);
}

} // namespace OdtText
