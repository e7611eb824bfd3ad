// Fuzz target for the natural-order comparison and sort.
//
// The input is split into texts. The first byte chooses how the rest is read:
// even as UTF-8 with the texts separated by '\n', odd as raw UTF-16 code units
// (so lone surrogates and any code unit appear) separated by u'\n'. Checked:
// - compareStrings is a strict weak ordering over the texts: irreflexive,
//   asymmetric, transitive, and incomparability is transitive too (every
//   triple of the first texts, every pair of all of them);
// - it agrees with the rule it implements: the leading run of ASCII digits as
//   a 32-bit number first (0 when empty or too large), then the rest of the
//   text (the whole text when it is all digits) in code-unit order;
// - sortQListQString leaves a sorted permutation of the texts.
// Any violation aborts, which libFuzzer reports as a crash with the input.
#include "function.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Enough texts to find violations, few enough that the cubic triple check
// keeps thousands of executions per second.
constexpr qsizetype MAX_TEXTS = 64;
constexpr qsizetype MAX_TRIPLE_TEXTS = 12;

[[noreturn]] void fail(const char *what, const QList<QString> &texts)
{
    std::fprintf(stderr, "natural order: %s\n", what);
    for (const QString &t : texts)
        std::fprintf(stderr, "  \"%s\"\n", t.toUtf8().constData());
    std::abort();
}

QList<QString> decode(const uint8_t *data, size_t size)
{
    QList<QString> texts;
    if (size == 0)
        return texts;
    const bool utf16 = data[0] & 1;
    ++data;
    --size;
    QString all;
    if (utf16) {
        all.resize(qsizetype(size / 2));
        for (qsizetype i = 0; i < all.size(); ++i)
            all[i] = QChar(char16_t(data[2 * i] | (data[2 * i + 1] << 8)));
    } else {
        all = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    }
    texts = all.split(QLatin1Char('\n'));
    if (texts.size() > MAX_TEXTS)
        texts.resize(MAX_TEXTS);
    return texts;
}

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The rule written out independently of the implementation.
bool expectedLess(const QString &a, const QString &b)
{
    auto split = [](const QString &s, int &number, QStringView &rest) {
        qsizetype p = 0;
        while (p < s.size() && isDigit(s.at(p)))
            ++p;
        bool ok = false;
        number = p == 0 ? 0 : QStringView(s).left(p).toInt(&ok, 10);
        if (!ok)
            number = 0;
        rest = p == s.size() ? QStringView(s) : QStringView(s).mid(p);
    };
    int na, nb;
    QStringView ra, rb;
    split(a, na, ra);
    split(b, nb, rb);
    if (na != nb)
        return na < nb;
    return ra.compare(rb, Qt::CaseSensitive) < 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QString> texts = decode(data, size);
    const qsizetype n = texts.size();
    auto less = [](const QString &a, const QString &b) { return Function::compareStrings(a, b); };
    auto incomparable = [&](const QString &a, const QString &b) { return !less(a, b) && !less(b, a); };

    for (qsizetype i = 0; i < n; ++i) {
        const QString &a = texts.at(i);
        if (less(a, a))
            fail("not irreflexive", {a});
        for (qsizetype j = 0; j < n; ++j) {
            const QString &b = texts.at(j);
            const bool ab = less(a, b);
            if (ab && less(b, a))
                fail("not asymmetric", {a, b});
            if (ab != expectedLess(a, b))
                fail("disagrees with the rule (leading number, then the rest)", {a, b});
        }
    }
    const qsizetype m = std::min(n, MAX_TRIPLE_TEXTS);
    for (qsizetype i = 0; i < m; ++i) {
        for (qsizetype j = 0; j < m; ++j) {
            for (qsizetype k = 0; k < m; ++k) {
                const QString &a = texts.at(i), &b = texts.at(j), &c = texts.at(k);
                if (less(a, b) && less(b, c) && !less(a, c))
                    fail("not transitive", {a, b, c});
                if (incomparable(a, b) && incomparable(b, c) && !incomparable(a, c))
                    fail("incomparability not transitive", {a, b, c});
            }
        }
    }

    QList<QString> sorted = texts;
    Function::sortQListQString(sorted);
    for (qsizetype i = 0; i < n; ++i) {
        for (qsizetype j = i + 1; j < n; ++j) {
            if (less(sorted.at(j), sorted.at(i)))
                fail("sorted list out of order", {sorted.at(i), sorted.at(j)});
        }
    }
    QList<QString> before = texts, after = sorted;
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    if (before != after)
        fail("sorting lost or duplicated texts", texts);
    return 0;
}
