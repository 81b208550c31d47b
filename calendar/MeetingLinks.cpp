// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/MeetingLinks.h"

#include "calendar/CalendarStore.h"

#include <QRegularExpression>
#include <QUrlQuery>

namespace MeetingLinks {
namespace {

bool isWeb(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

// `host` is `domain` or one of its subdomains; "zoom.us.example.net" and
// "myzoom.us" are not zoom.us.
bool hostIs(const QString &host, QLatin1String domain)
{
    return host == domain || (host.endsWith(domain) && host.at(host.size() - domain.size() - 1) == QLatin1Char('.'));
}

bool endsLink(QChar c)
{
    // Characters that never appear raw in a link but often right after one:
    // in "<https://…>", in HTML attributes, in text escaped once too often.
    return c.isSpace() || c.category() == QChar::Other_Control || c == QLatin1Char('<') || c == QLatin1Char('>')
        || c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('\\') || c == QLatin1Char('`');
}

// Trailing punctuation belongs to the sentence, and a closing bracket to the
// text around the link unless the link opened it.
QString trimmedOfSentence(QString link)
{
    while (!link.isEmpty()) {
        const QChar last = link.back();
        if (QStringLiteral(".,;:!?").contains(last)) {
            link.chop(1);
            continue;
        }
        const QChar open = last == QLatin1Char(')') ? QLatin1Char('(')
            : last == QLatin1Char(']')              ? QLatin1Char('[')
            : last == QLatin1Char('}')              ? QLatin1Char('{')
                                                    : QChar();
        if (!open.isNull() && link.count(open) < link.count(last)) {
            link.chop(1);
            continue;
        }
        break;
    }
    return link;
}

// Mail and calendar services wrap links to track clicks; the meeting is the
// link inside.
QUrl unwrapped(const QUrl &url)
{
    const QString host = url.host().toLower();
    QString key;
    if ((hostIs(host, QLatin1String("google.com"))) && url.path() == QLatin1String("/url"))
        key = QStringLiteral("q");
    else if (hostIs(host, QLatin1String("safelinks.protection.outlook.com")))
        key = QStringLiteral("url");
    if (key.isEmpty())
        return url;
    const QString inner = QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
    const QUrl target(inner, QUrl::StrictMode);
    return isWeb(target) ? target : url;
}

bool pathStartsWithAny(const QString &path, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes) {
        if (path.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

QList<QUrl> linksIn(const QString &text)
{
    static const QRegularExpression start(QStringLiteral("https?://"), QRegularExpression::CaseInsensitiveOption);
    QList<QUrl> links;
    auto match = start.globalMatch(text);
    while (match.hasNext()) {
        const qsizetype from = match.next().capturedStart();
        qsizetype to = from;
        while (to < text.size() && !endsLink(text.at(to)))
            ++to;
        QString candidate = trimmedOfSentence(text.mid(from, to - from));
        // Links taken from HTML descriptions keep their escaped ampersands.
        candidate.replace(QLatin1String("&amp;"), QLatin1String("&"));
        const QUrl url(candidate, QUrl::TolerantMode);
        if (isWeb(url))
            links.append(unwrapped(url));
    }
    return links;
}

bool isMeetingServiceLink(const QUrl &url)
{
    if (!isWeb(url))
        return false;
    const QString host = url.host().toLower();
    const QString path = url.path();
    const bool hasRoom = path.size() > 1;

    if (hostIs(host, QLatin1String("zoom.us")) || hostIs(host, QLatin1String("zoomgov.com")))
        return pathStartsWithAny(path, {"/j/", "/my/", "/w/", "/s/", "/wc/join/"});
    if (host == QLatin1String("meet.google.com")) {
        static const QRegularExpression code(QStringLiteral("^/([a-z]{3}-[a-z]{4}-[a-z]{3}|lookup/\\S+)"));
        return code.match(path).hasMatch();
    }
    if (host == QLatin1String("teams.microsoft.com"))
        return pathStartsWithAny(path, {"/l/meetup-join/", "/meet/"});
    if (host == QLatin1String("teams.live.com"))
        return pathStartsWithAny(path, {"/meet/"});
    if (hostIs(host, QLatin1String("webex.com")))
        return path.contains(QLatin1String("/j.php"), Qt::CaseInsensitive)
            || pathStartsWithAny(path, {"/meet/", "/join/", "/wbxmjs/"});
    if (host == QLatin1String("meet.jit.si") || host == QLatin1String("8x8.vc"))
        return hasRoom;
    static const QRegularExpression zohoMeeting(
        QStringLiteral("^meeting\\.zoho\\.(com|eu|in|com\\.au|jp|com\\.cn|sa|ca|uk)$"));
    if (zohoMeeting.match(host).hasMatch())
        return hasRoom;
    if (hostIs(host, QLatin1String("gotomeeting.com")))
        return pathStartsWithAny(path, {"/join/"});
    if (host == QLatin1String("meet.goto.com"))
        return hasRoom;
    if (host == QLatin1String("app.goto.com"))
        return pathStartsWithAny(path, {"/meeting/"});
    if (hostIs(host, QLatin1String("whereby.com")))
        return hasRoom;
    return false;
}

QUrl find(const EventDetails &details)
{
    for (const QUrl &link : linksIn(details.url)) {
        if (isMeetingServiceLink(link))
            return link;
    }
    const QList<QUrl> inLocation = linksIn(details.location);
    for (const QUrl &link : inLocation) {
        if (isMeetingServiceLink(link))
            return link;
    }
    for (const QUrl &link : inLocation) {
        if (link.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
            return link;
    }
    for (const QUrl &link : linksIn(details.notes)) {
        if (isMeetingServiceLink(link))
            return link;
    }
    return {};
}

std::optional<MeetingToJoin> meetingToJoin(
    const CalendarStore &store, const QSet<QString> &calendarIds, const QDateTime &now)
{
    const QDateTime leadEnd = now.addSecs(qint64(JoinLeadMinutes) * 60 + 1);
    std::optional<MeetingToJoin> best;
    qint64 bestDistance = 0;
    for (const CalendarEvent &event : store.events(now, leadEnd, calendarIds)) {
        // Events that merely touch now (ended at this very second) are over.
        if (event.allDay || event.end <= now)
            continue;
        const qint64 distance = qAbs(now.secsTo(event.start));
        const bool underWay = event.start <= now;
        if (best && (distance > bestDistance || (distance == bestDistance && !underWay)))
            continue;
        const QUrl link = find(store.eventDetails(event));
        if (link.isEmpty())
            continue;
        best = MeetingToJoin {event, link};
        bestDistance = distance;
    }
    return best;
}

} // namespace MeetingLinks
