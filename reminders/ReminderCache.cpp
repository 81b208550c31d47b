// SPDX-License-Identifier: GPL-3.0-or-later
#include "reminders/ReminderCache.h"

#include "calendar/SafeFile.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUrl>

namespace {
const QByteArray Header = "brivane-reminders 1";
// Far more than a year of alarms; a larger file is not ours.
constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

QByteArray encoded(const QString &text)
{
    return QUrl::toPercentEncoding(text);
}

QString decoded(const QByteArray &text)
{
    return QUrl::fromPercentEncoding(text);
}

QDateTime fromSeconds(const QByteArray &text)
{
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (!ok)
        return {};
    const QDateTime time = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    return time.isValid() ? time : QDateTime();
}
} // namespace

ReminderCache::ReminderCache(QString path)
    : m_path(std::move(path))
{
    load();
}

QString ReminderCache::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/brivane/reminders");
}

void ReminderCache::markShown(const QString &key, const QDateTime &forgetAfter)
{
    m_shown.insert(key, forgetAfter.toUTC());
}

void ReminderCache::prune(const QDateTime &now)
{
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (it.value() < now)
            it = m_shown.erase(it);
        else
            ++it;
    }
}

void ReminderCache::load()
{
    if (!QFileInfo::exists(m_path))
        return;
    const SafeFile::Read read = SafeFile::readRegularFile(m_path, MaxFileBytes);
    if (!read.ok() || read.tooLarge) {
        qWarning("brivane: cannot read %s (%s); reminders start afresh", qPrintable(m_path),
            qPrintable(read.tooLarge ? QStringLiteral("too large") : read.error));
        return;
    }
    const QList<QByteArray> lines = read.data.split('\n');
    if (lines.value(0) != Header) {
        qWarning("brivane: %s is not a reminders file; reminders start afresh", qPrintable(m_path));
        return;
    }
    // Lines that do not read are left out; the rest still count.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        if (fields.size() == 3 && fields[0] == "shown") {
            const QDateTime forgetAfter = fromSeconds(fields[1]);
            if (forgetAfter.isValid() && !fields[2].isEmpty())
                m_shown.insert(decoded(fields[2]), forgetAfter);
        } else if (fields.size() == 4 && fields[0] == "snooze") {
            const QDateTime due = fromSeconds(fields[1]);
            if (due.isValid() && !fields[2].isEmpty() && !fields[3].isEmpty())
                m_snoozes.insert(decoded(fields[2]), {due, decoded(fields[3])});
        }
    }
}

bool ReminderCache::save() const
{
    const QString folder = QFileInfo(m_path).path();
    if (const QString problem = SafeFile::checkPrivateFolder(folder); !problem.isEmpty()) {
        qWarning("brivane: cannot keep the reminders in %s: %s", qPrintable(folder), qPrintable(problem));
        return false;
    }
    QByteArray content = Header + '\n';
    for (auto it = m_shown.begin(); it != m_shown.end(); ++it)
        content += "shown\t" + QByteArray::number(it.value().toSecsSinceEpoch()) + '\t' + encoded(it.key()) + '\n';
    for (auto it = m_snoozes.begin(); it != m_snoozes.end(); ++it) {
        content += "snooze\t" + QByteArray::number(it.value().dueAt.toSecsSinceEpoch()) + '\t' + encoded(it.key())
            + '\t' + encoded(it.value().eventId) + '\n';
    }
    SafeFile::WriteOptions options;
    options.exactMode = 0600;
    const SafeFile::WriteResult written = SafeFile::writeAtomically(m_path, content, options);
    if (!written.ok)
        qWarning("brivane: could not write %s: %s", qPrintable(m_path), qPrintable(written.errorText()));
    return written.ok;
}
