// The measuring of texts: widths, widest words and the lines a text wraps
// into within a given room, each distinct text measured once per font.
#include "export/paperlayout.h"

#include "view/textwidths.h"

#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace Paper {

Shaper::Shaper(const QFont &font, const QPaintDevice *device)
    : m_font(font)
    , m_device(device)
    , m_widths(TextWidths::of(font, device))
{
    const QFontMetricsF &m = m_widths.metrics();
    lineHeight = m.lineSpacing();
    ascent = m.ascent();
}

qreal Shaper::width(const QString &text)
{
    const qreal w = m_widths.estimate(text);
    return w >= 0 ? w : m_widths.measure(text);
}

Measure Shaper::measure(const QString &text)
{
    Measure m;
    if (text.contains(QLatin1Char('\n'))) {
        for (const QString &piece : text.split(QLatin1Char('\n')))
            m.widestWord = std::max(m.widestWord, widestWord(piece));
        return m;
    }
    m.oneLine = width(text);
    m.widestWord = text.contains(QLatin1Char(' ')) ? widestWord(text) : m.oneLine;
    return m;
}

Shape Shaper::shape(const QString &text, qreal oneLine, qreal room, std::vector<Line> &pool)
{
    if (text.isEmpty())
        return Shape{0, 0, -1};
    // A pairwise estimate can miss a hair: only a text with room to
    // spare is taken as fitting without laying it out.
    if (oneLine >= 0 && oneLine + oneLine / 50 + 1 <= room)
        return Shape{static_cast<float>(oneLine), 1, -1};
    if (oneLine >= 0) {
        const Shape quick = wrapWords(text, room, pool);
        if (quick.lines > 0)
            return quick;
    }
    return wrapLaidOut(text, room, pool);
}

// Plain words wrapped at the blanks between them, measured by estimate:
// what the text layout would give, far cheaper. No lines when a word is
// wider than the room or holds what the estimate does not cover.
Shape Shaper::wrapWords(const QString &text, qreal room, std::vector<Line> &pool)
{
    const size_t mark = pool.size();
    Shape s;
    s.first = static_cast<int>(mark);
    const int size = static_cast<int>(text.size());
    int lineStart = 0;
    int lineEnd = 0; // end of the last word that fits on the line
    qreal lineWidth = 0;
    int i = 0;
    auto fail = [&] {
        pool.resize(mark);
        return Shape{0, 0, -1};
    };
    while (i < size) {
        while (i < size && text.at(i) == QLatin1Char(' '))
            ++i;
        if (i >= size)
            break;
        int end = i;
        while (end < size && text.at(end) != QLatin1Char(' '))
            ++end;
        const qreal w = m_widths.estimate(QStringView(text).mid(lineStart, end - lineStart));
        if (w < 0)
            return fail();
        if (w + w / 50 + 1 <= room || lineEnd == lineStart) {
            if (lineEnd == lineStart && w + w / 50 + 1 > room)
                return fail(); // a word wider than the room
            lineEnd = end;
            lineWidth = w;
        } else {
            pool.push_back(Line{lineStart, lineEnd - lineStart, static_cast<float>(lineWidth)});
            lineStart = i;
            const qreal word = m_widths.estimate(QStringView(text).mid(i, end - i));
            if (word < 0 || word + word / 50 + 1 > room)
                return fail();
            lineEnd = end;
            lineWidth = word;
        }
        i = end;
    }
    if (lineEnd > lineStart)
        pool.push_back(Line{lineStart, lineEnd - lineStart, static_cast<float>(lineWidth)});
    for (size_t k = mark; k < pool.size(); ++k) {
        s.width = std::max(s.width, pool[k].width);
        ++s.lines;
    }
    return s;
}

// Any text wrapped by the text layout, at word boundaries or, for a word
// wider than the room, anywhere; kept by text and room.
Shape Shaper::wrapLaidOut(const QString &text, qreal room, std::vector<Line> &pool)
{
    const QPair<QString, int> key(text, static_cast<int>(std::lround(room * 16)));
    Shape s;
    s.first = static_cast<int>(pool.size());
    const auto known = m_wrapped.constFind(key);
    if (known != m_wrapped.constEnd()) {
        for (const Line &line : *known) {
            pool.push_back(line);
            s.width = std::max(s.width, line.width);
            ++s.lines;
        }
        return s;
    }
    QString laid = text;
    laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laid, m_font, m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max<qreal>(room, 1));
        const qreal w = line.naturalTextWidth();
        pool.push_back(Line{line.textStart(), line.textLength(), static_cast<float>(w)});
        s.width = std::max(s.width, static_cast<float>(w));
        ++s.lines;
    }
    layout.endLayout();
    if (m_wrapped.size() > 20000)
        m_wrapped.clear();
    m_wrapped.insert(key, std::vector<Line>(pool.begin() + s.first, pool.end()));
    return s;
}

qreal Shaper::widestWord(const QString &text)
{
    qreal widest = 0;
    for (const QStringView word : QStringView(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qreal w = m_widths.estimate(word);
        widest = std::max(widest, w >= 0 ? w : m_widths.measure(word.toString()));
    }
    return widest;
}

Shaper &Measures::Data::shaper(const QFont &font)
{
    for (auto &known : shapers)
        if (known.first == font)
            return *known.second;
    shapers.emplace_back(font, std::make_unique<Shaper>(font, device));
    return *shapers.back().second;
}

} // namespace Paper
