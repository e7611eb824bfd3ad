#ifndef IMPORT_QUICKXML_H
#define IMPORT_QUICKXML_H

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

// A quick reader for the plain XML office programs write into a worksheet:
// elements, attributes and text with the five named entities and character
// references, in UTF-8. It hands a handler the same calls expat does
// (start(name, attributes), end(name), text(data, size)) at several times
// expat's speed. Anything beyond that plain form (comments, CDATA, a
// document type, another encoding) or anything not well formed makes it
// give up, and the part is read again with expat, which also names the
// line of a fault.
namespace Import::Detail::QuickXml {

enum class Result { Done, Stopped, GaveUp };

namespace Internal {

inline bool space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The characters of names office programs write: ASCII letters, digits,
// '_', ':', '.' and '-'.
inline bool nameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '.' || c == '-';
}

// A name does not start with a digit, '.' or '-'.
inline bool startsName(char c)
{
    return nameChar(c) && !(c >= '0' && c <= '9') && c != '.' && c != '-';
}

// Control characters other than tab and line ends are not allowed in XML.
inline bool controls(const char *from, const char *to)
{
    for (; from < to; ++from)
        if (static_cast<unsigned char>(*from) < 0x20 && !space(*from))
            return true;
    return false;
}

inline void appendUtf8(std::string &out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Appends text with its entities read and its line ends made "\n", as
// expat gives them; false for an entity it does not know.
inline bool decode(const char *from, const char *to, std::string &out, bool attribute)
{
    while (from < to) {
        const char c = *from;
        if (c == '&') {
            const char *semicolon = static_cast<const char *>(memchr(from, ';', static_cast<size_t>(to - from)));
            if (!semicolon || semicolon - from > 12)
                return false;
            const std::string name(from + 1, semicolon);
            if (name == "lt")
                out += '<';
            else if (name == "gt")
                out += '>';
            else if (name == "amp")
                out += '&';
            else if (name == "quot")
                out += '"';
            else if (name == "apos")
                out += '\'';
            else if (name.size() > 1 && name[0] == '#') {
                const bool hex = name[1] == 'x';
                const std::string digits = name.substr(hex ? 2 : 1);
                if (digits.empty() || digits.size() > 8 || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                                          std::string::npos)
                    return false;
                const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
                if (code == 0 || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
                    return false;
                appendUtf8(out, static_cast<unsigned>(code));
            } else {
                return false;
            }
            from = semicolon + 1;
        } else if (c == '\r') {
            out += attribute ? ' ' : '\n';
            ++from;
            if (from < to && *from == '\n')
                ++from;
        } else if (attribute && (c == '\n' || c == '\t')) {
            out += ' ';
            ++from;
        } else if (c == '<') {
            return false;
        } else {
            out += c;
            ++from;
        }
    }
    return true;
}

} // namespace Internal

template<class Handler>
Result read(const QByteArray &xml, Handler &handler)
{
    using namespace Internal;
    const char *at = xml.constData();
    const char *const end = at + xml.size();
    if (end - at >= 3 && memcmp(at, "\xEF\xBB\xBF", 3) == 0)
        at += 3;
    if (!QByteArrayView(xml).isValidUtf8() || controls(at, end))
        return Result::GaveUp;
    // The declaration, in its usual form and in UTF-8 only.
    if (end - at >= 5 && memcmp(at, "<?xml", 5) == 0) {
        const qsizetype found = xml.indexOf("?>", at - xml.constData());
        if (found < 0)
            return Result::GaveUp;
        static const QRegularExpression usual(
            R"(^<\?xml\s+version\s*=\s*(["'])1\.[0-9]\1(\s+encoding\s*=\s*(["'])utf-8\3)?)"
            R"((\s+standalone\s*=\s*(["'])(yes|no)\5)?\s*$)",
            QRegularExpression::CaseInsensitiveOption);
        const char *close = xml.constData() + found;
        if (!usual.match(QString::fromLatin1(at, close - at)).hasMatch())
            return Result::GaveUp;
        at = close + 2;
    }
    std::vector<std::string> open;   // the names of the open elements
    std::vector<std::string> values; // the names and values of the attributes
    std::vector<const char *> attributes;
    std::string name, text;
    bool rootSeen = false;
    while (at < end) {
        const char *tag = static_cast<const char *>(memchr(at, '<', static_cast<size_t>(end - at)));
        const char *textEnd = tag ? tag : end;
        if (open.empty()) {
            for (const char *c = at; c < textEnd; ++c)
                if (!space(*c))
                    return Result::GaveUp;
        } else if (textEnd > at) {
            if (!memchr(at, '&', static_cast<size_t>(textEnd - at)) &&
                !memchr(at, '\r', static_cast<size_t>(textEnd - at)) &&
                !memchr(at, '>', static_cast<size_t>(textEnd - at))) {
                handler.text(at, static_cast<int>(textEnd - at));
            } else {
                text.clear();
                if (!decode(at, textEnd, text, false) || text.find("]]>") != std::string::npos)
                    return Result::GaveUp;
                handler.text(text.data(), static_cast<int>(text.size()));
            }
            if (!handler.error.isEmpty())
                return Result::Stopped;
        }
        if (!tag)
            break;
        at = tag + 1;
        if (at >= end)
            return Result::GaveUp;
        if (*at == '!' || *at == '?')
            return Result::GaveUp;
        const bool closing = *at == '/';
        if (closing)
            ++at;
        const char *nameStart = at;
        while (at < end && nameChar(*at))
            ++at;
        if (at == nameStart || at >= end || !startsName(*nameStart))
            return Result::GaveUp;
        name.assign(nameStart, at);
        if (closing) {
            while (at < end && space(*at))
                ++at;
            if (at >= end || *at != '>' || open.empty() || open.back() != name)
                return Result::GaveUp;
            ++at;
            open.pop_back();
            handler.end(name.c_str());
            if (!handler.error.isEmpty())
                return Result::Stopped;
            continue;
        }
        if (open.empty() && rootSeen)
            return Result::GaveUp;
        // The attributes, up to '>' or "/>".
        values.clear();
        bool empty = false;
        for (;;) {
            const char *before = at;
            while (at < end && space(*at))
                ++at;
            if (at >= end)
                return Result::GaveUp;
            if (*at == '>') {
                ++at;
                break;
            }
            if (*at == '/') {
                if (at + 1 >= end || at[1] != '>')
                    return Result::GaveUp;
                at += 2;
                empty = true;
                break;
            }
            if (at == before)
                return Result::GaveUp; // an attribute must follow a space
            const char *attributeStart = at;
            while (at < end && nameChar(*at))
                ++at;
            if (at == attributeStart || !startsName(*attributeStart))
                return Result::GaveUp;
            values.emplace_back(attributeStart, at);
            while (at < end && space(*at))
                ++at;
            if (at >= end || *at != '=')
                return Result::GaveUp;
            ++at;
            while (at < end && space(*at))
                ++at;
            if (at >= end || (*at != '"' && *at != '\''))
                return Result::GaveUp;
            const char quote = *at++;
            const char *valueEnd = static_cast<const char *>(memchr(at, quote, static_cast<size_t>(end - at)));
            if (!valueEnd)
                return Result::GaveUp;
            values.emplace_back();
            if (!decode(at, valueEnd, values.back(), true))
                return Result::GaveUp;
            at = valueEnd + 1;
        }
        attributes.clear();
        for (size_t i = 0; i < values.size(); i += 2) {
            for (size_t j = 0; j < i; j += 2)
                if (values[j] == values[i])
                    return Result::GaveUp; // an attribute given twice
            attributes.push_back(values[i].c_str());
            attributes.push_back(values[i + 1].c_str());
        }
        attributes.push_back(nullptr);
        rootSeen = true;
        handler.start(name.c_str(), attributes.data());
        if (!handler.error.isEmpty())
            return Result::Stopped;
        if (empty) {
            handler.end(name.c_str());
            if (!handler.error.isEmpty())
                return Result::Stopped;
        } else {
            open.push_back(name);
        }
    }
    return open.empty() && rootSeen ? Result::Done : Result::GaveUp;
}

} // namespace Import::Detail::QuickXml

#endif // IMPORT_QUICKXML_H
