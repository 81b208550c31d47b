// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <map>
#include <vector>

// An iCalendar text as it is written: its content lines with their folding
// and line breaks, and the components those lines make up. Edits made
// through it change only the lines they name; every other byte of the text
// stays as it was, components and properties this program does not know
// included.
namespace IcsLines {

// One content line: its first physical line and the continuation lines
// after it, line breaks included.
struct Line
{
    qsizetype begin = 0; // offset of its first byte in the text
    qsizetype end = 0; // one past its last byte
};

struct Component
{
    QByteArray name; // as written after "BEGIN:", e.g. "VEVENT" or "X-ALT-DESC"
    qsizetype beginLine = 0;
    qsizetype endLine = -1; // -1 while the component is not closed
    int parent = -1; // index into components(), -1 at the top
};

// The parts of one unfolded content line; `parameters` as written
// ("TZID=Europe/Berlin", quotes kept), `value` everything after the colon.
struct Property
{
    QByteArray name;
    std::vector<QByteArray> parameters;
    QByteArray value;

    bool isNamed(const char *upperCaseName) const;
    // The parameter `upperCaseName=...` as written, or an empty array.
    QByteArray parameter(const char *upperCaseName) const;
};

Property parseProperty(const QByteArray &unfolded);

// `line` (a whole unfolded content line, without line break) folded so that
// no physical line is longer than 75 octets, a UTF-8 sequence never split,
// each physical line ended by `lineBreak`.
QByteArray folded(const QByteArray &line, const QByteArray &lineBreak);

class Document
{
public:
    explicit Document(QByteArray text);

    const QByteArray &text() const { return m_text; }
    const std::vector<Line> &lines() const { return m_lines; }
    // In the order of their BEGIN lines, nested ones after their parent.
    const std::vector<Component> &components() const { return m_components; }
    // Every BEGIN has its END with the same name (in any case), in nesting
    // order, and no END is without its BEGIN.
    bool wellFormed() const { return m_wellFormed; }

    // The line as written, line breaks and folding included.
    QByteArray raw(qsizetype line) const;
    // The line unfolded, without its line break.
    QByteArray unfolded(qsizetype line) const;
    // The line break that ends the line ("\r\n", "\n"), or an empty array
    // at the end of a text without a final line break.
    QByteArray lineBreak(qsizetype line) const;
    // The lines of the component's own properties, nested components left
    // out, in order.
    std::vector<qsizetype> propertyLines(int component) const;
    // The components directly inside `component` (-1: the top level).
    std::vector<int> children(int component) const;

private:
    QByteArray m_text;
    std::vector<Line> m_lines;
    std::vector<Component> m_components;
    std::vector<int> m_componentOfLine; // innermost open component of each line, -1 outside all
    bool m_wellFormed = true;
};

// Changes to a document's lines, put together into a new text.
class Edit
{
public:
    explicit Edit(const Document &document)
        : m_document(document)
    { }

    // Leaves out the lines of the component, BEGIN and END included.
    void removeComponent(int component);
    // Adds text (whole physical lines, line breaks included) after the line.
    void insertAfter(qsizetype line, const QByteArray &text);
    bool removes(int component) const;
    QByteArray result() const;

private:
    const Document &m_document;
    std::vector<std::pair<qsizetype, qsizetype>> m_removed; // line ranges, END line included
    std::map<qsizetype, QByteArray> m_inserted;
};

} // namespace IcsLines
