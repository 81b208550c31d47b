// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Checks a file rewritten by a removal against the file it was made from,
// with a line reader of its own (not the program's): the new text must be
// the old one with whole VEVENT components left out and at most a few
// EXDATE lines added; every other content line stays byte for byte,
// folding and line breaks included, in its order.

#include <QByteArray>
#include <QList>

#include <unordered_set>
#include <vector>

namespace RewriteCheck {

// Content lines as written: a physical line and its continuation lines.
inline QList<QByteArray> contentLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        do {
            const qsizetype newline = text.indexOf('\n', end);
            end = newline < 0 ? text.size() : newline + 1;
        } while (end < text.size() && (text[end] == ' ' || text[end] == '\t'));
        lines.append(text.mid(pos, end - pos));
        pos = end;
    }
    return lines;
}

inline QByteArray unfold(const QByteArray &line)
{
    QByteArray text = line;
    text.replace("\r\n ", "").replace("\r\n\t", "").replace("\n ", "").replace("\n\t", "");
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    return text;
}

inline bool startsWithName(const QByteArray &line, const char *upperCaseName)
{
    const QByteArray text = unfold(line).toUpper();
    return text.startsWith(upperCaseName);
}

struct Explanation
{
    bool ok = false;
    // The components left out (first line of each, as written) and the lines added.
    QList<QByteArray> removed;
    QList<QByteArray> added;
};

// Explains `after` as `before` with whole VEVENT components removed and at
// most `maxAdded` EXDATE lines added, if it can be.
inline Explanation explain(const QByteArray &before, const QByteArray &after, int maxAdded)
{
    const QList<QByteArray> in = contentLines(before);
    const QList<QByteArray> out = contentLines(after);
    const qsizetype n = in.size();
    const qsizetype m = out.size();
    // "BEGIN:NAME" or "END:NAME" in upper case for those lines (parameters
    // left out), the rest of the line for others.
    std::vector<QByteArray> heads(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        QByteArray head = unfold(in[i].left(200)).toUpper();
        const qsizetype nameEnd
            = head.indexOf(';') >= 0 && head.indexOf(';') < head.indexOf(':') ? head.indexOf(';') : head.indexOf(':');
        if (nameEnd > 0 && (head.left(nameEnd) == "BEGIN" || head.left(nameEnd) == "END"))
            head = head.left(nameEnd) + head.mid(head.indexOf(':'));
        heads[size_t(i)] = head;
    }
    // Where each VEVENT that starts at line i ends (one past its END line),
    // counting nesting by BEGIN and END lines alone.
    std::vector<qsizetype> eventEnd(size_t(n), -1);
    for (qsizetype i = 0; i < n; ++i) {
        if (heads[size_t(i)] != "BEGIN:VEVENT")
            continue;
        int depth = 0;
        for (qsizetype j = i; j < n; ++j) {
            if (heads[size_t(j)].startsWith("BEGIN:"))
                ++depth;
            else if (heads[size_t(j)].startsWith("END:") && --depth == 0) {
                if (heads[size_t(j)] == "END:VEVENT")
                    eventEnd[size_t(i)] = j + 1;
                break;
            }
        }
    }
    std::vector<bool> isExdate(static_cast<size_t>(m));
    for (qsizetype j = 0; j < m; ++j)
        isExdate[size_t(j)] = startsWithName(out[j].left(40), "EXDATE");

    // A search over (line of before, line of after, lines added so far):
    // keep a line, leave out a component, or take an added line.
    struct Frame
    {
        qsizetype i, j;
        int added;
        int choice;
    };
    auto keyOf = [&](qsizetype i, qsizetype j, int added) {
        return (quint64(i) * quint64(m + 1) + quint64(j)) * quint64(maxAdded + 1) + quint64(added);
    };
    std::unordered_set<quint64> failed;
    std::vector<Frame> stack {{0, 0, 0, 0}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        if (frame.i == n && frame.j == m) {
            Explanation explanation;
            explanation.ok = true;
            for (size_t k = 0; k + 1 < stack.size(); ++k) {
                const Frame &step = stack[k];
                if (step.choice == 2)
                    explanation.removed.append(in[step.i]);
                else if (step.choice == 3)
                    explanation.added.append(out[step.j]);
            }
            return explanation;
        }
        const qsizetype i = frame.i;
        const qsizetype j = frame.j;
        const int added = frame.added;
        Frame next {-1, -1, 0, 0};
        while (next.i < 0 && frame.choice < 3) {
            switch (++frame.choice) {
            case 1:
                if (i < n && j < m && in[i] == out[j])
                    next = {i + 1, j + 1, added, 0};
                break;
            case 2:
                if (i < n && eventEnd[size_t(i)] > 0)
                    next = {eventEnd[size_t(i)], j, added, 0};
                break;
            case 3:
                if (j < m && added < maxAdded && isExdate[size_t(j)])
                    next = {i, j + 1, added + 1, 0};
                break;
            }
            if (next.i >= 0 && failed.count(keyOf(next.i, next.j, next.added)))
                next.i = -1;
        }
        if (next.i >= 0) {
            stack.push_back(next);
        } else {
            failed.insert(keyOf(i, j, added));
            stack.pop_back();
        }
    }
    return {};
}

} // namespace RewriteCheck
