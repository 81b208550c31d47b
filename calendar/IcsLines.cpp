// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/IcsLines.h"

#include <cstring>

namespace IcsLines {
namespace {

bool isContinuation(char c)
{
    return c == ' ' || c == '\t';
}

// One physical line from `begin`: where it ends, line break included.
qsizetype physicalEnd(const QByteArray &text, qsizetype begin)
{
    const void *newline = std::memchr(text.constData() + begin, '\n', size_t(text.size() - begin));
    return newline ? static_cast<const char *>(newline) - text.constData() + 1 : text.size();
}

// The physical line without its line break ("\r\n", "\n", or a lone "\r"
// at the very end of the text).
QByteArray withoutBreak(const QByteArray &text, qsizetype begin, qsizetype end)
{
    if (end > begin && text[end - 1] == '\n')
        --end;
    if (end > begin && text[end - 1] == '\r')
        --end;
    return text.mid(begin, end - begin);
}

// Names are compared in any case; most lines are told apart here without
// being taken apart.
bool startsWithName(const QByteArray &text, const char *upperCaseName)
{
    const qsizetype length = qsizetype(std::strlen(upperCaseName));
    return text.size() >= length && qstrnicmp(text.constData(), upperCaseName, size_t(length)) == 0;
}

} // namespace

bool Property::isNamed(const char *upperCaseName) const
{
    return name.compare(upperCaseName, Qt::CaseInsensitive) == 0;
}

QByteArray Property::parameter(const char *upperCaseName) const
{
    const qsizetype length = qsizetype(std::strlen(upperCaseName));
    for (const QByteArray &parameter : parameters) {
        if (parameter.size() > length && parameter[length] == '='
            && parameter.left(length).compare(upperCaseName, Qt::CaseInsensitive) == 0)
            return parameter;
    }
    return {};
}

Property parseProperty(const QByteArray &unfolded)
{
    Property property;
    const qsizetype size = unfolded.size();
    qsizetype i = 0;
    while (i < size && unfolded[i] != ';' && unfolded[i] != ':')
        ++i;
    property.name = unfolded.left(i);
    while (i < size && unfolded[i] == ';') {
        const qsizetype start = ++i;
        bool quoted = false;
        while (i < size && (quoted || (unfolded[i] != ';' && unfolded[i] != ':'))) {
            if (unfolded[i] == '"')
                quoted = !quoted;
            ++i;
        }
        property.parameters.push_back(unfolded.mid(start, i - start));
    }
    if (i < size && unfolded[i] == ':')
        property.value = unfolded.mid(i + 1);
    return property;
}

QByteArray folded(const QByteArray &line, const QByteArray &lineBreak)
{
    constexpr qsizetype MaxOctets = 75;
    QByteArray result;
    qsizetype pos = 0;
    bool first = true;
    while (true) {
        // A continuation line's leading space counts towards its length.
        const qsizetype room = first ? MaxOctets : MaxOctets - 1;
        qsizetype cut = qMin(line.size(), pos + room);
        if (cut < line.size()) {
            // Never inside a UTF-8 sequence: back to the byte that starts one
            // (a run of stray continuation bytes is cut where it must be).
            qsizetype start = cut;
            while (start > pos && (uchar(line[start]) & 0xC0) == 0x80)
                --start;
            if (start > pos)
                cut = start;
        }
        if (!first)
            result += ' ';
        result += QByteArrayView(line).sliced(pos, cut - pos);
        result += lineBreak;
        pos = cut;
        first = false;
        if (pos >= line.size())
            return result;
    }
}

Document::Document(QByteArray text)
    : m_text(std::move(text))
{
    const qsizetype size = m_text.size();
    for (qsizetype pos = 0; pos < size;) {
        Line line {pos, physicalEnd(m_text, pos)};
        while (line.end < size && isContinuation(m_text[line.end]))
            line.end = physicalEnd(m_text, line.end);
        m_lines.push_back(line);
        pos = line.end;
    }

    std::vector<int> open;
    m_componentOfLine.reserve(m_lines.size());
    for (qsizetype index = 0; index < qsizetype(m_lines.size()); ++index) {
        QByteArray line = unfolded(index);
        if (index == 0 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3); // a byte order mark before the first line
        const Property property
            = startsWithName(line, "BEGIN") || startsWithName(line, "END") ? parseProperty(line) : Property();
        if (property.isNamed("BEGIN")) {
            const int parent = open.empty() ? -1 : open.back();
            m_components.push_back({property.value, index, -1, parent});
            open.push_back(int(m_components.size()) - 1);
        }
        m_componentOfLine.push_back(open.empty() ? -1 : open.back());
        if (property.isNamed("END")) {
            if (open.empty()
                || m_components[size_t(open.back())].name.compare(property.value, Qt::CaseInsensitive) != 0) {
                m_wellFormed = false;
                continue;
            }
            m_components[size_t(open.back())].endLine = index;
            open.pop_back();
        }
    }
    if (!open.empty())
        m_wellFormed = false;
}

QByteArray Document::raw(qsizetype line) const
{
    const Line &l = m_lines[size_t(line)];
    return m_text.mid(l.begin, l.end - l.begin);
}

QByteArray Document::unfolded(qsizetype line) const
{
    const Line &l = m_lines[size_t(line)];
    QByteArray result;
    for (qsizetype pos = l.begin; pos < l.end;) {
        const qsizetype end = physicalEnd(m_text, pos);
        // The continuation's leading space or tab belongs to the folding.
        result += withoutBreak(m_text, pos == l.begin ? pos : pos + 1, end);
        pos = end;
    }
    return result;
}

QByteArray Document::lineBreak(qsizetype line) const
{
    const Line &l = m_lines[size_t(line)];
    if (l.end > l.begin && m_text[l.end - 1] == '\n')
        return l.end - 1 > l.begin && m_text[l.end - 2] == '\r' ? QByteArray("\r\n") : QByteArray("\n");
    return {};
}

std::vector<qsizetype> Document::propertyLines(int component) const
{
    std::vector<qsizetype> result;
    const Component &c = m_components[size_t(component)];
    if (c.endLine < 0)
        return result;
    for (qsizetype line = c.beginLine + 1; line < c.endLine; ++line) {
        if (m_componentOfLine[size_t(line)] == component)
            result.push_back(line);
    }
    return result;
}

std::vector<int> Document::children(int component) const
{
    std::vector<int> result;
    for (int index = 0; index < int(m_components.size()); ++index) {
        if (m_components[size_t(index)].parent == component)
            result.push_back(index);
    }
    return result;
}

void Edit::removeComponent(int component)
{
    const Component &c = m_document.components()[size_t(component)];
    if (c.endLine >= 0)
        m_removed.emplace_back(c.beginLine, c.endLine);
}

void Edit::insertAfter(qsizetype line, const QByteArray &text)
{
    m_inserted[line] += text;
}

bool Edit::removes(int component) const
{
    const qsizetype line = m_document.components()[size_t(component)].beginLine;
    for (const auto &[first, last] : m_removed) {
        if (line >= first && line <= last)
            return true;
    }
    return false;
}

QByteArray Edit::result() const
{
    const std::vector<Line> &lines = m_document.lines();
    std::vector<bool> kept(lines.size(), true);
    for (const auto &[first, last] : m_removed) {
        for (qsizetype line = first; line <= last; ++line)
            kept[size_t(line)] = false;
    }
    QByteArray result;
    result.reserve(m_document.text().size() + 256);
    const QByteArray &text = m_document.text();
    for (size_t line = 0; line < lines.size(); ++line) {
        if (kept[line])
            result += QByteArrayView(text).sliced(lines[line].begin, lines[line].end - lines[line].begin);
        // Text added after a removed line would stand in a removed
        // component: it goes with it.
        if (const auto it = m_inserted.find(qsizetype(line)); it != m_inserted.end() && kept[line])
            result += it->second;
    }
    return result;
}

} // namespace IcsLines
