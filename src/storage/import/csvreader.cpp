// .csv: text in UTF-8 or Windows-1251, fields separated by ';', ',' or a
// tab, quoted with doubled quotes inside.
#include "storage/import/readers.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace Import::Detail {

namespace {

// The separators tried, the most usual in Russian office programs first:
// a comma is common inside names of units and addresses, a tab is not.
const QChar Separators[] = {';', '\t', ','};

// Parses records of text into rows. A quoted field may hold separators,
// doubled quotes and line breaks. A quote opened and never closed, or
// closed after a line break and followed by more text, is a stray quote:
// the parse stops with false and the line where it opened. Stops after
// `limit` records when limit is positive.
bool parse(QStringView text, QChar separator, int limit, QVector<QStringList> &rows, int *strayLine)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    QStringList record;
    auto isEnd = [&](qsizetype at) {
        const QChar c = text.at(at);
        return c == separator || c == '\r' || c == '\n';
    };
    while (i < n) {
        QString field;
        if (text.at(i) == '"') {
            const int opened = line;
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
            }
            const qsizetype rest = i;
            while (i < n && !isEnd(i))
                ++i;
            if (!closed || (spanned && i > rest)) {
                *strayLine = opened;
                return false;
            }
            field += text.mid(rest, i - rest);
        } else {
            const qsizetype from = i;
            while (i < n && !isEnd(i))
                ++i;
            field = text.mid(from, i - from).toString();
        }
        record.append(field);
        if (i < n && text.at(i) == separator) {
            ++i;
            if (i == n)
                record.append(QString());
            continue;
        }
        if (i < n) {
            if (text.at(i) == '\r' && i + 1 < n && text.at(i + 1) == '\n')
                ++i;
            ++i;
            ++line;
        }
        rows.append(record.size() == 1 && record.first().isEmpty() ? QStringList() : record);
        record.clear();
        if (limit > 0 && rows.size() >= limit)
            return true;
    }
    if (!record.isEmpty())
        rows.append(record);
    return true;
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
        parse(sample, separator, 30, rows, &stray);
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
    int stray = 0;
    if (!parse(text, separator, 0, file.rows, &stray))
        file.error = QString("Файл «%1»: в строке %2 кавычка открыта и не закрыта. Исправьте эту строку "
                             "и повторите импорт.")
                         .arg(shownName(file.path), QString::number(stray));
}

} // namespace Import::Detail
