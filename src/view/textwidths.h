#ifndef TEXTWIDTHS_H
#define TEXTWIDTHS_H

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPaintDevice>
#include <QString>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

// Widths of texts in one font, from the advances of single characters and the
// adjustments of adjacent pairs (kerning, two-letter ligatures), each shaped
// once. Far cheaper than shaping every text of a large table.
class TextWidths
{
public:
    // The measures of one font on the screen, or on a paint device of
    // another resolution (a printer), kept for the life of the program: the
    // advances and pair adjustments learned in one fill serve the next.
    static TextWidths &of(const QFont &font, const QPaintDevice *device = nullptr)
    {
        struct Known
        {
            QFont font;
            int dpiX;
            int dpiY;
            std::unique_ptr<TextWidths> widths;
        };
        static std::vector<Known> known;
        const int dpiX = device ? device->logicalDpiX() : 0;
        const int dpiY = device ? device->logicalDpiY() : 0;
        for (Known &entry : known)
            if (entry.font == font && entry.dpiX == dpiX && entry.dpiY == dpiY)
                return *entry.widths;
        if (known.size() >= 8)
            known.erase(known.begin());
        known.push_back({font, dpiX, dpiY, std::make_unique<TextWidths>(font, device)});
        return *known.back().widths;
    }

    explicit TextWidths(const QFont &font, const QPaintDevice *device = nullptr)
        : m_metrics(device ? QFontMetricsF(font, device) : QFontMetricsF(font))
    {
    }

    // The exact width of a one-line text, as the font lays it out.
    qreal measure(const QString &text) const { return m_metrics.horizontalAdvance(text); }
    const QFontMetricsF &metrics() const { return m_metrics; }

    // The width of a one-line text, or a negative value when the text holds
    // something the estimate does not cover (line breaks, tabs, characters the
    // font lacks, surrogates, combining marks).
    qreal estimate(QStringView text)
    {
        qreal width = 0;
        QChar previous;
        for (const QChar c : text) {
            if (!plain(c))
                return -1;
            width += advance(c);
            if (!previous.isNull())
                width += pair(previous, c);
            previous = c;
        }
        return width;
    }

    // The text with every ASCII digit replaced by the first digit that lays
    // out exactly like it (same advance, same adjustment beside every digit
    // and beside its neighbours in the text), so that texts differing only in
    // such digits share one measurement. Digits that kern differently (as
    // "11" does in some fonts) keep their own place.
    QString normalized(const QString &text)
    {
        classifyDigits();
        QString out = text;
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QChar c = out.at(i);
            if (!isDigit(c) || m_digitClass[c.unicode() - u'0'] == c)
                continue;
            if ((i > 0 && !isDigit(text.at(i - 1)) && !neutralBeside(text.at(i - 1))) ||
                (i + 1 < text.size() && !isDigit(text.at(i + 1)) && !neutralBeside(text.at(i + 1))))
                return text;
            out[i] = m_digitClass[c.unicode() - u'0'];
        }
        return out;
    }

private:
    static bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

    // Characters get small slots on first sight, so that their advances and
    // the adjustments of their pairs are found by index rather than hashing.
    static constexpr int SLOTS = 256;

    int slot(QChar c)
    {
        if (m_slots.empty())
            m_slots.assign(65536, -1);
        int s = m_slots[c.unicode()];
        if (s < 0 && static_cast<int>(m_chars.size()) < SLOTS) {
            s = static_cast<int>(m_chars.size());
            m_slots[c.unicode()] = static_cast<short>(s);
            m_chars.push_back(c);
            const bool ok = c.unicode() >= 0x20 && !c.isSurrogate() && !c.isMark() &&
                            c.category() != QChar::Separator_Line &&
                            c.category() != QChar::Separator_Paragraph && m_metrics.inFont(c);
            m_plainBySlot.push_back(ok);
            m_advanceBySlot.push_back(m_metrics.horizontalAdvance(QString(c)));
            if (m_pairBySlot.empty())
                m_pairBySlot.assign(SLOTS * SLOTS, std::numeric_limits<qreal>::quiet_NaN());
        }
        return s;
    }

    bool plain(QChar c)
    {
        const int s = slot(c);
        if (s >= 0)
            return m_plainBySlot[static_cast<size_t>(s)];
        return c.unicode() >= 0x20 && !c.isSurrogate() && !c.isMark() && m_metrics.inFont(c);
    }

    qreal advance(QChar c)
    {
        const int s = slot(c);
        return s >= 0 ? m_advanceBySlot[static_cast<size_t>(s)] : m_metrics.horizontalAdvance(QString(c));
    }

    qreal pair(QChar a, QChar b)
    {
        const int sa = slot(a);
        const int sb = slot(b);
        if (sa < 0 || sb < 0)
            return m_metrics.horizontalAdvance(QString(a) + b) - advance(a) - advance(b);
        qreal &p = m_pairBySlot[static_cast<size_t>(sa * SLOTS + sb)];
        if (std::isnan(p))
            p = m_metrics.horizontalAdvance(QString(a) + b) - advance(a) - advance(b);
        return p;
    }

    void classifyDigits()
    {
        if (m_classified)
            return;
        m_classified = true;
        for (int d = 0; d < 10; ++d) {
            const QChar dc(u'0' + d);
            m_digitClass[d] = dc;
            for (int e = 0; e < d; ++e) {
                const QChar ec(u'0' + e);
                if (m_digitClass[e] != ec || advance(dc) != advance(ec))
                    continue;
                bool same = true;
                for (int x = 0; x < 10 && same; ++x) {
                    const QChar xc(u'0' + x);
                    same = pair(dc, xc) == pair(ec, xc) && pair(xc, dc) == pair(xc, ec);
                }
                if (same) {
                    m_digitClass[d] = ec;
                    break;
                }
            }
        }
    }

    bool neutralBeside(QChar c)
    {
        const auto found = m_neutral.constFind(c.unicode());
        if (found != m_neutral.constEnd())
            return *found;
        bool ok = plain(c);
        for (int d = 0; ok && d < 10; ++d) {
            const QChar dc(u'0' + d);
            const QChar rc = m_digitClass[d];
            ok = pair(dc, c) == pair(rc, c) && pair(c, dc) == pair(c, rc);
        }
        m_neutral.insert(c.unicode(), ok);
        return ok;
    }

    QFontMetricsF m_metrics;
    std::vector<short> m_slots;
    std::vector<QChar> m_chars;
    std::vector<bool> m_plainBySlot;
    std::vector<qreal> m_advanceBySlot;
    std::vector<qreal> m_pairBySlot;
    QHash<char16_t, bool> m_neutral;
    QChar m_digitClass[10];
    bool m_classified = false;
};

#endif // TEXTWIDTHS_H
