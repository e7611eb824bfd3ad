#include "export/extractprint.h"

#include "export/odttext.h"
#include "export/printing.h"
#include "export/tableexport.h"
#include "storage/db/errors.h"
#include "storage/setup/settings.h"
#include "storage/db/sql.h"
#include "view/dialogs.h"

#include <QXmlStreamWriter>

namespace ExtractPrint {

namespace {

using Kind = Paragraph::Kind;

// A line left to write in by hand, of about the width of what it stands for.
QString blank(int characters)
{
    return QString(characters, QLatin1Char('_'));
}

QString orBlank(const QString &text, int characters)
{
    return text.trimmed().isEmpty() ? blank(characters) : text.trimmed();
}

// The order's text by category: what the order does, and the caption of
// the name or reason it was stored with (as the orders window asks for it).
struct Wording
{
    const char *code;
    const char *opening;
    const char *caption;
};
constexpr Wording WORDINGS[] = {
    {Code::VZS, "Объявить взыскание:", "Наименование взыскания"},
    {Code::BLAG, "Объявить благодарность:", "За что поощрен"},
    {Code::GR, "Наградить грамотой:", "За что поощрен"},
    {Code::ZOMO,
     "Наградить знаком отличия Министерства обороны Российской Федерации:", "Наименование знака отличия"},
    {Code::GOSNAG,
     "Вручить государственную награду Российской Федерации:", "Наименование государственной награды"},
    {Code::POSH, "Присвоить звание «Ветеран военной службы»:", "За что поощрен"},
};

const Wording *wordingOf(const QString &code)
{
    for (const Wording &w : WORDINGS)
        if (code == QLatin1String(w.code))
            return &w;
    return nullptr;
}

// A sentence ends with its own stop, or gets one.
QString sentence(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.endsWith(QLatin1Char('.')) || t.endsWith(QLatin1Char('!')) ||
        t.endsWith(QLatin1Char('?')) || t.endsWith(QChar(0x2026)))
        return t;
    return t + QLatin1Char('.');
}

QString dateAndNumber(const Extracts::Extract &e)
{
    return QStringLiteral("от %1 № %2").arg(orBlank(e.date, 12), orBlank(e.number, 8));
}

QString pageLine(const Extracts::Extract &e)
{
    return QStringLiteral("Выписка из приказа %1 — %2, личный номер %3").arg(dateAndNumber(e), e.name, e.ln);
}

} // namespace

Setup Setup::stored()
{
    Setup s;
    for (const char *key : Settings::EXTRACT_HEADER_KEYS) {
        const QString line = Settings::setting(key).toString().trimmed();
        if (!line.isEmpty())
            s.header << line;
    }
    s.position = Settings::setting(Settings::EXTRACT_POSITION_KEY).toString().trimmed();
    s.rank = Settings::setting(Settings::EXTRACT_RANK_KEY).toString().trimmed();
    s.name = Settings::setting(Settings::EXTRACT_NAME_KEY).toString().trimmed();
    return s;
}

std::vector<Paragraph> page(const Extracts::Extract &e, const Setup &setup)
{
    std::vector<Paragraph> out;
    out.reserve(12);
    if (setup.header.isEmpty())
        out.push_back({Kind::Header, blank(45)});
    for (const QString &line : setup.header)
        out.push_back({Kind::Header, line});
    out.push_back({Kind::Title, QStringLiteral("ВЫПИСКА ИЗ ПРИКАЗА")});
    out.push_back({Kind::Centered, orBlank(e.issuer, 45)});
    out.push_back({Kind::Centered, dateAndNumber(e)});

    const Wording *wording = wordingOf(e.code);
    out.push_back(
        {Kind::Opening, wording ? QString::fromUtf8(wording->opening) : QStringLiteral("Приказ касается:")});
    QString man = e.name.trimmed();
    if (!e.rank.trimmed().isEmpty())
        man = e.rank.trimmed() + QLatin1Char(' ') + man;
    out.push_back({Kind::Body, QStringLiteral("%1, личный номер %2.").arg(man, e.ln)});
    const QString caption = wording ? QString::fromUtf8(wording->caption) : QStringLiteral("Наименование");
    out.push_back({Kind::Body, caption + QStringLiteral(": ") +
                                   (e.title.trimmed().isEmpty() ? blank(30) : sentence(e.title))});
    if (e.code == QLatin1String(Code::VZS) && !e.inForce) {
        QString lifted = QStringLiteral("Взыскание снято");
        if (!e.liftNumber.trimmed().isEmpty())
            lifted += QStringLiteral(" приказом № ") + e.liftNumber.trimmed();
        if (!e.liftDate.trimmed().isEmpty())
            lifted += QStringLiteral(" от ") + e.liftDate.trimmed();
        out.push_back({Kind::Body, lifted + QLatin1Char('.')});
    }

    out.push_back({Kind::Signature, QStringLiteral("Верно:")});
    out.push_back({Kind::Signature, orBlank(setup.position, 40)});
    out.push_back({Kind::SignLine, orBlank(setup.rank, 20), orBlank(setup.name, 20)});
    return out;
}

Paper::Document document(const std::vector<Extracts::Extract> &extracts, const Setup &setup)
{
    Paper::Document doc;
    doc.parts.reserve(extracts.size());
    const QString family = OdtText::family();
    const QFont header(family, 12);
    QFont title(family, 14);
    title.setBold(true);
    const QFont body(family, 14);
    const QFont lineFont(family, 9);
    for (const Extracts::Extract &e : extracts) {
        Paper::Part part;
        part.line = pageLine(e);
        part.lineAtTop = false;
        part.lineFont = lineFont;
        const std::vector<Paragraph> paragraphs = page(e, setup);
        part.blocks.reserve(paragraphs.size());
        Kind previous = Kind::Header;
        for (const Paragraph &p : paragraphs) {
            Paper::Text t;
            t.text = p.text;
            t.trailing = p.trailing;
            switch (p.kind) {
            case Kind::Header:
                t.font = header;
                t.alignment = Qt::AlignHCenter;
                t.keepWithNext = true;
                break;
            case Kind::Title:
                t.font = title;
                t.alignment = Qt::AlignHCenter;
                t.spaceBefore = 24;
                t.keepWithNext = true;
                break;
            case Kind::Centered:
                t.font = body;
                t.alignment = Qt::AlignHCenter;
                t.spaceBefore = 2;
                t.keepWithNext = true;
                break;
            case Kind::Opening:
                t.font = body;
                t.spaceBefore = 24;
                t.keepWithNext = true;
                break;
            case Kind::Body:
                t.font = body;
                t.spaceBefore = 6;
                break;
            case Kind::Signature:
                t.font = body;
                t.spaceBefore = previous == Kind::Signature ? 2 : 36;
                t.keepWithNext = true;
                break;
            case Kind::SignLine:
                t.font = body;
                t.spaceBefore = 2;
                break;
            }
            previous = p.kind;
            part.blocks.emplace_back(std::move(t));
        }
        doc.parts.push_back(std::move(part));
    }
    return doc;
}

namespace {

using Odf::FO;
using Odf::OFFICE;
using Odf::STYLE;

QString styleOf(Kind kind)
{
    switch (kind) {
    case Kind::Header:
        return QStringLiteral("Header");
    case Kind::Title:
        return QStringLiteral("Title");
    case Kind::Centered:
        return QStringLiteral("Centered");
    case Kind::Opening:
        return QStringLiteral("Opening");
    case Kind::Body:
        return QStringLiteral("Body");
    case Kind::Signature:
        return QStringLiteral("Signature");
    case Kind::SignLine:
        return QStringLiteral("SignLine");
    }
    return QStringLiteral("Body");
}

void writeStyles(QXmlStreamWriter &xml)
{
    using OdtText::centimetres;
    auto attribute = [&xml](const char *name, const QString &value) {
        xml.writeAttribute(FO, QString::fromLatin1(name), value);
    };
    auto centred = [&] { attribute("text-align", QStringLiteral("center")); };
    auto keep = [&] { attribute("keep-with-next", QStringLiteral("always")); };
    OdtText::paragraphStyle(xml, QStringLiteral("Header"), 12, false, [&] {
        centred();
        keep();
    });
    // The first paragraph of every extract but the first begins a page.
    OdtText::paragraphStyle(xml, QStringLiteral("HeaderOnNewPage"), 12, false, [&] {
        centred();
        keep();
        attribute("break-before", QStringLiteral("page"));
    });
    OdtText::paragraphStyle(xml, QStringLiteral("Title"), 14, true, [&] {
        centred();
        keep();
        attribute("margin-top", centimetres(0.85));
    });
    OdtText::paragraphStyle(xml, QStringLiteral("Centered"), 14, false, [&] {
        centred();
        keep();
        attribute("margin-top", centimetres(0.07));
    });
    OdtText::paragraphStyle(xml, QStringLiteral("Opening"), 14, false, [&] {
        keep();
        attribute("margin-top", centimetres(0.85));
    });
    OdtText::paragraphStyle(xml, QStringLiteral("Body"), 14, false,
                            [&] { attribute("margin-top", centimetres(0.2)); });
    OdtText::paragraphStyle(xml, QStringLiteral("Signature"), 14, false, [&] {
        keep();
        attribute("margin-top", centimetres(0.07));
    });
    OdtText::paragraphStyle(xml, QStringLiteral("SignatureFirst"), 14, false, [&] {
        keep();
        attribute("margin-top", centimetres(1.25));
    });
    // The name flush right, across from the rank.
    OdtText::paragraphStyle(xml, QStringLiteral("SignLine"), 14, false, [&] {
        attribute("margin-top", centimetres(0.07));
        xml.writeStartElement(STYLE, QStringLiteral("tab-stops"));
        xml.writeEmptyElement(STYLE, QStringLiteral("tab-stop"));
        xml.writeAttribute(STYLE, QStringLiteral("position"), centimetres(OdtText::TEXT_WIDTH_CM));
        xml.writeAttribute(STYLE, QStringLiteral("type"), QStringLiteral("right"));
        xml.writeEndElement();
    });
}

QByteArray odtContent(const std::vector<Extracts::Extract> &extracts, const Setup &setup)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    OdtText::start(xml, QStringLiteral("document-content"));
    xml.writeStartElement(OFFICE, QStringLiteral("automatic-styles"));
    writeStyles(xml);
    xml.writeEndElement(); // automatic-styles

    xml.writeStartElement(OFFICE, QStringLiteral("body"));
    xml.writeStartElement(OFFICE, QStringLiteral("text"));
    bool firstPage = true;
    for (const Extracts::Extract &e : extracts) {
        bool first = true;
        Kind previous = Kind::Header;
        for (const Paragraph &p : page(e, setup)) {
            QString style = styleOf(p.kind);
            if (first && !firstPage)
                style = QStringLiteral("HeaderOnNewPage");
            else if (p.kind == Kind::Signature && previous != Kind::Signature)
                style = QStringLiteral("SignatureFirst");
            first = false;
            previous = p.kind;
            OdtText::paragraph(xml, style, p.text, p.trailing);
        }
        firstPage = false;
    }
    xml.writeEndDocument();
    return out;
}

} // namespace

bool writeOpenDocument(const std::vector<Extracts::Extract> &extracts, const Setup &setup,
                       const QString &fileName, QString *error)
{
    return OdtText::write(odtContent(extracts, setup), fileName, error);
}

QString show(QWidget *parent, const QString &code, const QString &number, const QString &date,
             const QString &ln)
{
    QSqlError error;
    const std::vector<Extracts::Extract> extracts = Extracts::read(code, number, date, ln, &error);
    if (error.isValid())
        return QStringLiteral("Выписка не составлена: приказ не прочитан из базы данных: %1.")
            .arg(Errors::describe(error));
    if (extracts.empty())
        return QStringLiteral("Выписка не составлена: в базе нет приказа этой категории № %1 от %2 — возможно, "
                              "его изменили или удалили на другом рабочем месте.")
            .arg(number, date);
    const Setup setup = Setup::stored();
    const Paper::Document doc = document(extracts, setup);
    const bool one = extracts.size() == 1;
    Printing::Texts texts;
    texts.title = one ? QStringLiteral("Выписка из приказа")
                      : QStringLiteral("Выписки из приказа (%1)").arg(extracts.size());
    texts.notPrinted =
        one ? QStringLiteral("Выписка не напечатана") : QStringLiteral("Выписки не напечатаны");
    texts.notSaved = one ? QStringLiteral("Выписка не сохранена") : QStringLiteral("Выписки не сохранены");
    const Printing::Command odt = Printing::saveOpenDocument(
        texts.notSaved,
        [&](const QString &name, QString *why) { return writeOpenDocument(extracts, setup, name, why); });
    Printing::preview(parent, doc, QPageLayout::Portrait, texts, {odt});
    return QString();
}

} // namespace ExtractPrint
