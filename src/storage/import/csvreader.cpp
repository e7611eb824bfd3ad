// .csv: text in UTF-8 or Windows-1251, fields separated by ';', ',' or a
// tab, quoted with doubled quotes inside.
#include "storage/import/csvreader.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace Import::Detail {

namespace {

// The separators tried, the most usual in Russian office programs first:
// a comma is common inside names of units and addresses, a tab is not.
const QChar Separators[] = {';', '\t', ','};

// How a parse ended: read whole, at a quote opened and never closed, or at
// a field longer than a cell holds.
enum class Parsed { Whole, Stray, TooLong };

// Whether a field ends at `at`: at the separator or a line break.
bool endsField(QStringView text, qsizetype at, QChar separator)
{
    const QChar c = text.at(at);
    return c == separator || c == '\r' || c == '\n';
}

// Reads a quoted field from its opening quote at `i` into `field`: the
// doubled quotes inside as one, its line breaks as '\n' (counted in `line`),
// and the text after its closing quote up to the field's end. Leaves `i` at
// that end. Stray when the quote is never closed, or closed after a line
// break and followed by more text; TooLong past what a cell holds.
Parsed quotedField(QStringView text, QChar separator, qsizetype &i, int &line, QString &field)
{
    const qsizetype n = text.size();
    bool spanned = false;
    bool closed = false;
    ++i;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == '"') {
            if (i + 1 < n && text.at(i + 1) == '"') {
                field += '"';
                i += 2;
                continue;
            }
            closed = true;
            ++i;
            break;
        }
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && text.at(i + 1) == '\n')
                ++i;
            field += '\n';
            ++line;
            spanned = true;
        } else {
            field += c;
        }
        ++i;
        if (field.size() > MaxCellText)
            return Parsed::TooLong;
    }
    const qsizetype rest = i;
    while (i < n && !endsField(text, i, separator))
        ++i;
    if (!closed || (spanned && i > rest))
        return Parsed::Stray;
    if (field.size() + (i - rest) > MaxCellText)
        return Parsed::TooLong;
    field += text.mid(rest, i - rest);
    return Parsed::Whole;
}

// Parses records of text, handing each to sink(record, first line, last
// line), which stops the parse by returning false. A quoted field may hold
// separators, doubled quotes and line breaks. A quote opened and never
// closed, or closed after a line break and followed by more text, is a
// stray quote: the parse stops at it with the line where it opened. A field
// longer than a cell holds stops it as well, with its line and column.
// Stops after `limit` records when limit is positive.
template<class Sink>
Parsed parse(QStringView text, QChar separator, int limit, Sink &&sink, int *atLine, int *atColumn = nullptr)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    int records = 0;
    QStringList record;
    auto tooLong = [&](int at) {
        *atLine = at;
        if (atColumn)
            *atColumn = static_cast<int>(record.size());
        return Parsed::TooLong;
    };
    int first = 1;
    while (i < n) {
        QString field;
        if (text.at(i) == '"') {
            const int opened = line;
            const Parsed quoted = quotedField(text, separator, i, line, field);
            if (quoted == Parsed::Stray) {
                *atLine = opened;
                return Parsed::Stray;
            }
            if (quoted == Parsed::TooLong)
                return tooLong(opened);
        } else {
            const qsizetype from = i;
            while (i < n && !endsField(text, i, separator))
                ++i;
            if (i - from > MaxCellText)
                return tooLong(line);
            field = text.mid(from, i - from).toString();
        }
        record.append(field);
        if (i < n && text.at(i) == separator) {
            ++i;
            if (i == n)
                record.append(QString());
            continue;
        }
        const int last = line;
        if (i < n) {
            if (text.at(i) == '\r' && i + 1 < n && text.at(i + 1) == '\n')
                ++i;
            ++i;
            ++line;
        }
        if (record.size() == 1 && record.first().isEmpty())
            record.clear();
        if (!sink(std::move(record), first, last))
            return Parsed::Whole;
        record = QStringList();
        first = line;
        if (limit > 0 && ++records >= limit)
            return Parsed::Whole;
    }
    if (!record.isEmpty())
        sink(std::move(record), first, line);
    return Parsed::Whole;
}

// The lines (from 1) of a text in `encoding` whose bytes read better in the
// other encoding of the two: a line of valid UTF-8 with letters beyond
// ASCII in a file read as Windows-1251, or a line that is not UTF-8 in a
// file read as UTF-8. Lines end as the parse ends them.
QVector<int> linesInOtherEncoding(QByteArrayView bytes, const QByteArray &encoding)
{
    QVector<int> lines;
    const bool utf8File = encoding.compare("UTF-8", Qt::CaseInsensitive) == 0;
    if (!utf8File && encoding.compare("windows-1251", Qt::CaseInsensitive) != 0)
        return lines;
    const qsizetype n = bytes.size();
    int line = 1;
    for (qsizetype from = 0; from < n;) {
        qsizetype end = from;
        bool high = false;
        while (end < n && bytes.at(end) != '\n' && bytes.at(end) != '\r') {
            high |= static_cast<unsigned char>(bytes.at(end)) >= 0x80;
            ++end;
        }
        if (high) {
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            // Decoding is lazy until the text is made.
            static_cast<void>(QString(utf8.decode(bytes.sliced(from, end - from))));
            if (utf8.hasError() == utf8File)
                lines.append(line);
        }
        if (end < n && bytes.at(end) == '\r' && end + 1 < n && bytes.at(end + 1) == '\n')
            ++end;
        from = end + 1;
        ++line;
    }
    return lines;
}

// The separator that gives the first lines one column count (more than
// one column); when none does, the one that gives most lines the header's
// count. ';' wins a tie.
QChar detectSeparator(QStringView text)
{
    const QStringView sample = text.left(65536);
    QChar best = Separators[0];
    int bestScore = -1;
    for (const QChar separator : Separators) {
        QVector<QStringList> rows;
        int stray = 0;
        parse(
            sample, separator, 30,
            [&rows](QStringList &&record, int, int) {
                rows.append(std::move(record));
                return true;
            },
            &stray);
        // The sample may cut the last line short.
        if (rows.size() > 1 && sample.size() < text.size())
            rows.removeLast();
        qsizetype header = 0;
        int matching = 0;
        bool consistent = true;
        for (const QStringList &row : rows) {
            if (row.isEmpty())
                continue;
            if (header == 0)
                header = row.size();
            if (row.size() == header)
                ++matching;
            else
                consistent = false;
        }
        if (header < 2)
            continue;
        const int score = consistent ? 1000000 : matching;
        if (score > bestScore) {
            best = separator;
            bestScore = score;
        }
    }
    return best;
}

} // namespace

void readCsv(const QByteArray &data, const CsvFormat *given, SheetFile &file)
{
    file.sheets = QStringList{QFileInfo(file.path).completeBaseName()};
    if (file.sheet != 0) {
        file.error = noSheetMessage(file.path, file.sheet);
        return;
    }
    QByteArray encoding = given ? given->encoding : QByteArray();
    QByteArrayView bytes(data);
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
        if (encoding.isEmpty())
            encoding = "UTF-8";
    }
    QString text;
    if (encoding.isEmpty()) {
        // Text that is not valid UTF-8 comes from the older programs that
        // save in the Windows Cyrillic code page.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        encoding = "UTF-8";
        if (utf8.hasError()) {
            encoding = "windows-1251";
            text.clear();
        }
    }
    if (text.isNull() && !bytes.isEmpty()) {
        QStringDecoder decoder(encoding.constData(), QStringDecoder::Flag::Stateless);
        if (!decoder.isValid()) {
            file.error = QString("Кодировка «%1» не поддерживается.").arg(QString::fromLatin1(encoding));
            return;
        }
        text = decoder.decode(bytes);
    }
    const QChar separator = given && !given->separator.isNull() ? given->separator : detectSeparator(text);
    file.csv = {encoding, separator};
    const QVector<int> other = linesInOtherEncoding(bytes, encoding);
    Placer placer(file);
    int row = 0;
    bool refused = false;
    int line = 0;
    int column = 0;
    const Parsed parsed = parse(
        text, separator, 0,
        [&](QStringList &&record, int first, int last) {
            Row cells(record);
            const auto found = std::lower_bound(other.cbegin(), other.cend(), first);
            cells.setOtherEncoding(found != other.cend() && *found <= last);
            if (!placer.placeRow(row++, cells)) {
                refused = true;
                return false;
            }
            return true;
        },
        &line, &column);
    if (refused)
        return;
    if (parsed == Parsed::Stray)
        file.error = QString("Файл «%1»: в строке %2 кавычка открыта и не закрыта. Исправьте эту строку "
                             "и повторите импорт.")
                         .arg(shownName(file.path), QString::number(line));
    else if (parsed == Parsed::TooLong)
        placer.fits(line - 1, column, MaxCellText + 1);
}

} // namespace Import::Detail
