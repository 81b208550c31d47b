// SPDX-License-Identifier: GPL-3.0-or-later
// GLib and EDS come first (through EdsIcal.h): Qt's keyword macros would
// clash with their member names.
#include "calendar/EdsIcal.h"

#include "calendar/EdsAccounts.h"
#include "calendar/EdsProvider.h"
#include "calendar/IcsWriter.h"

#include <QAbstractEventDispatcher>
#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent>

#include <future>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcEds, "brivane.eds", QtInfoMsg)

using namespace Eds;

namespace {

constexpr char RegistryBusName[] = "org.gnome.evolution.dataserver.Sources5";
// How long EDS may wait for a remote calendar to come online before it
// hands the client over in offline mode, serving what it has cached (0
// would wait for ever).
constexpr guint32 ConnectWaitSeconds = 2;
constexpr int DefaultCoalescingMs = 100;
constexpr int ReconnectDelayMs = 1000;
// EDS 3.46 holds a view's change reports back for up to two seconds, while
// the calendar's revision changes at once: when no report follows a new
// revision within this time, the calendar is read again.
constexpr int RevisionGraceMs = 250;
// While a calendar keeps changing (a sync run), it is read again at most
// this often.
constexpr int RereadSpacingMs = 1000;
constexpr int WriteTimeoutMs = 15000;
constexpr int ReadTimeoutMs = 3000;
constexpr int WindowDaysBefore = 7;
constexpr int WindowDaysAfter = 42;
// Occurrences at least this long are kept apart and scanned whole, so that a
// search for the others can start just before the range.
constexpr qint64 LongEventMs = 2LL * 24 * 3600 * 1000;
const QString IdPrefix = QStringLiteral("eds:");

template<typename Handler> gulong connectSignal(gpointer instance, const char *signal, Handler *handler, gpointer data)
{
    return g_signal_connect_data(
        instance, signal, reinterpret_cast<GCallback>(handler), data, nullptr, GConnectFlags(0));
}

QString takeString(gchar *text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString errorText(const GError *error)
{
    return error ? QString::fromUtf8(error->message) : QString();
}

std::pair<qint64, qint64> windowFor(QDate today, const QTimeZone &zone)
{
    return {QDateTime(today.addDays(-WindowDaysBefore), QTime(0, 0), zone).toMSecsSinceEpoch(),
        QDateTime(today.addDays(WindowDaysAfter), QTime(0, 0), zone).toMSecsSinceEpoch()};
}

// Runs a blocking EDS call on a thread of its own and waits at most
// `timeoutMs` for it. On time-out the call is cancelled and left to finish
// by itself; `call` must therefore own everything it touches.
bool runBounded(int timeoutMs, std::function<void(GCancellable *)> call)
{
    GCancellable *cancellable = g_cancellable_new();
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> done = finished->get_future();
    g_object_ref(cancellable);
    std::thread([call = std::move(call), cancellable, finished] {
        call(cancellable);
        g_object_unref(cancellable);
        finished->set_value();
    }).detach();
    const bool inTime = done.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
    if (!inTime)
        g_cancellable_cancel(cancellable);
    g_object_unref(cancellable);
    return inTime;
}

// What a calendar's view reported, waiting to be applied.
struct Change
{
    GObjectPtr<ICalComponent> component; // added or modified; null for a removal
    QString uid;
    QString rid; // of a removal
};

} // namespace

struct EdsProviderPrivate : std::enable_shared_from_this<EdsProviderPrivate>
{
    struct Calendar
    {
        EdsProviderPrivate *owner = nullptr;
        QString uid;
        QString id; // "eds:<source uid>"
        QString title;
        QString color;
        QString accountId;
        QString accountTitle;
        QString accountService; // EdsAccounts::serviceId, empty when unknown
        ESource *source = nullptr;
        ECalClient *client = nullptr;
        ECalClientView *view = nullptr;
        GCancellable *cancellable = nullptr;
        int generation = 0;
        bool readOnly = true;
        bool failed = false;
        bool viewComplete = false;
        bool everRead = false; // a complete read has been applied
        bool fullReadPending = false; // the next batch is the whole calendar, replacing everything
        QString revision; // the backend's revision, as last reported
        int viewReports = 0; // change reports of the view so far
        bool rereading = false;
        bool rereadAgain = false;
        std::vector<Change> pending;
        QHash<QString, SeriesPtr> series; // by UID
    };

    // A batch of changes worked on by a worker thread.
    struct JobCalendar
    {
        QString uid;
        int generation = 0;
        ECalClient *client = nullptr; // a reference, given back on the provider's thread
        std::vector<Change> changes;
        bool everything = false; // `series` is the calendar's whole set, replaced as a whole
        QHash<QString, SeriesPtr> series; // in: as they were; out: as they are (null: gone)
    };
    struct Job
    {
        qint64 fromMs = 0;
        qint64 toMs = 0;
        QDate day;
        QTimeZone zone;
        bool newWindow = false;
        std::vector<JobCalendar> calendars;
    };

    struct WindowEntry
    {
        const Occurrence *occurrence;
        const Calendar *calendar;
        // Made on the first query that lists it; the window is rebuilt, and
        // these with it, whenever anything changes.
        mutable std::shared_ptr<const CalendarEvent> event;
    };

    struct CallbackContext
    {
        std::weak_ptr<EdsProviderPrivate> d;
        QString uid;
        int generation = 0;
    };

    EdsProviderPrivate(EdsProvider *provider, const Clock &clock);
    ~EdsProviderPrivate();

    void start();
    void giveUp();
    void markLoaded();
    void checkLoaded();
    void announceChange();

    void busReady(GDBusConnection *bus, const GError *error);
    void connectRegistry();
    void registryReady(ESourceRegistry *registry, const GError *error);
    void syncSources();
    QString accountTitleOf(ESource *account, bool isCollection) const;
    static QString accountServiceOf(ESource *account, bool isCollection);

    Calendar *calendarByUid(const QString &uid) const;
    Calendar *calendarById(const QString &id) const;
    void connectCalendar(Calendar &calendar);
    void disconnectCalendar(Calendar &calendar);
    void clientReady(const CallbackContext &context, EClient *client, const GError *error);
    void viewReady(const CallbackContext &context, ECalClientView *view, const GError *error);
    void scheduleReconnect(Calendar &calendar);
    void noteRevision(Calendar &calendar, const QString &revision);
    void reread(Calendar &calendar);
    void rereadDone(const CallbackContext &context, GSList *components, const GError *error);

    void scheduleProcessing(int delayMs);
    void dispatchJob();
    static void runJob(Job &job);
    void applyJob(const std::shared_ptr<Job> &job);
    static void releaseJob(Job &job);

    void ensureWindowCurrent() const;
    void rebuildMergedWindow() const;
    CalendarEvent materialize(const Occurrence &occurrence, const Calendar &calendar) const;
    void replaceSeries(Calendar &calendar, const QString &uid, SeriesPtr series);

    EdsProvider *q;
    const Clock &clock;
    int loadTimeoutMs = EdsProvider::DefaultLoadTimeoutMs;
    bool loaded = false;

    GCancellable *cancellable = nullptr;
    GDBusConnection *bus = nullptr;
    ESourceRegistry *registry = nullptr;
    bool registryPending = false;
    bool registryOnBus = false;
    guint watchId = 0;
    std::vector<std::unique_ptr<Calendar>> calendars; // ordered by account and title

    QTimer loadTimer;
    QTimer syncTimer;
    QTimer processTimer;
    QTimer announceTimer;
    int coalescingMs = DefaultCoalescingMs;
    QFutureWatcher<std::shared_ptr<Job>> jobWatcher;
    std::shared_ptr<Job> runningJob; // from dispatch until applied
    bool newWindowWanted = false;

    qint64 windowFromMs = 0;
    qint64 windowToMs = 0;
    QDate windowDay;
    mutable bool mergedDirty = true;
    mutable std::vector<WindowEntry> mergedShort; // by start
    mutable std::vector<WindowEntry> mergedLong;
};

// -- callbacks from GLib, always on the provider's thread ----------------------

namespace {

using Private = EdsProviderPrivate;

void onBusReady(GObject *, GAsyncResult *result, gpointer data)
{
    std::unique_ptr<Private::CallbackContext> context(static_cast<Private::CallbackContext *>(data));
    GError *error = nullptr;
    GDBusConnection *bus = g_bus_get_finish(result, &error);
    if (const auto d = context->d.lock())
        d->busReady(bus, error);
    else if (bus)
        g_object_unref(bus);
    g_clear_error(&error);
}

void onRegistryReady(GObject *, GAsyncResult *result, gpointer data)
{
    std::unique_ptr<Private::CallbackContext> context(static_cast<Private::CallbackContext *>(data));
    GError *error = nullptr;
    ESourceRegistry *registry = e_source_registry_new_finish(result, &error);
    if (const auto d = context->d.lock())
        d->registryReady(registry, error);
    else if (registry)
        g_object_unref(registry);
    g_clear_error(&error);
}

void onClientReady(GObject *, GAsyncResult *result, gpointer data)
{
    std::unique_ptr<Private::CallbackContext> context(static_cast<Private::CallbackContext *>(data));
    GError *error = nullptr;
    EClient *client = e_cal_client_connect_finish(result, &error);
    if (const auto d = context->d.lock())
        d->clientReady(*context, client, error);
    else if (client)
        g_object_unref(client);
    g_clear_error(&error);
}

void onViewReady(GObject *client, GAsyncResult *result, gpointer data)
{
    std::unique_ptr<Private::CallbackContext> context(static_cast<Private::CallbackContext *>(data));
    GError *error = nullptr;
    ECalClientView *view = nullptr;
    if (!e_cal_client_get_view_finish(E_CAL_CLIENT(client), result, &view, &error))
        view = nullptr;
    if (const auto d = context->d.lock())
        d->viewReady(*context, view, error);
    else if (view)
        g_object_unref(view);
    g_clear_error(&error);
}

void onRegistryNameAppeared(GDBusConnection *, const gchar *, const gchar *, gpointer data)
{
    auto *d = static_cast<Private *>(data);
    d->registryOnBus = true;
    if (!d->registry && !d->registryPending) {
        qCDebug(lcEds) << "the calendar registry is on the session bus";
        d->connectRegistry();
    }
}

void onRegistryNameVanished(GDBusConnection *, const gchar *, gpointer data)
{
    auto *d = static_cast<Private *>(data);
    const bool wasThere = d->registryOnBus;
    d->registryOnBus = false;
    if (d->registry) {
        // The registry object follows the registry when it comes back; until
        // then the calendars already open go on answering.
        if (wasThere)
            qCDebug(lcEds) << "the calendar registry left the session bus";
    } else if (!d->registryPending && !d->loaded) {
        qCDebug(lcEds) << "no calendar registry on the session bus: no desktop calendars";
        d->giveUp();
    }
}

void onSourcesChanged(ESourceRegistry *, ESource *, gpointer data)
{
    auto *d = static_cast<Private *>(data);
    if (!d->syncTimer.isActive())
        d->syncTimer.start();
}

void onDefaultCalendarChanged(GObject *, GParamSpec *, gpointer data)
{
    static_cast<Private *>(data)->announceChange();
}

void onReadOnlyChanged(GObject *client, GParamSpec *, gpointer data)
{
    auto *calendar = static_cast<Private::Calendar *>(data);
    const bool readOnly = e_client_is_readonly(E_CLIENT(client));
    if (readOnly != calendar->readOnly) {
        calendar->readOnly = readOnly;
        calendar->owner->announceChange();
    }
}

void onBackendPropertyChanged(EClient *, const gchar *name, const gchar *value, gpointer data)
{
    if (g_strcmp0(name, "revision") == 0) {
        auto *calendar = static_cast<Private::Calendar *>(data);
        calendar->owner->noteRevision(*calendar, QString::fromUtf8(value));
    }
}

void onObjectListReady(GObject *client, GAsyncResult *result, gpointer data)
{
    std::unique_ptr<Private::CallbackContext> context(static_cast<Private::CallbackContext *>(data));
    GError *error = nullptr;
    GSList *components = nullptr;
    if (!e_cal_client_get_object_list_finish(E_CAL_CLIENT(client), result, &components, &error))
        components = nullptr;
    if (const auto d = context->d.lock())
        d->rereadDone(*context, components, error);
    g_slist_free_full(components, g_object_unref);
    g_clear_error(&error);
}

void onBackendDied(EClient *, gpointer data)
{
    auto *calendar = static_cast<Private::Calendar *>(data);
    qCDebug(lcEds) << "the service behind" << calendar->title << "stopped; connecting again";
    calendar->owner->scheduleReconnect(*calendar);
}

void noteComponents(const GSList *components, Private::Calendar *calendar)
{
    for (const GSList *link = components; link; link = link->next) {
        auto *component = static_cast<ICalComponent *>(link->data);
        Change change;
        change.uid = QString::fromUtf8(i_cal_component_get_uid(component));
        change.component.reset(static_cast<ICalComponent *>(g_object_ref(component)));
        calendar->pending.push_back(std::move(change));
    }
    ++calendar->viewReports;
    if (calendar->viewComplete)
        calendar->owner->scheduleProcessing(calendar->owner->coalescingMs);
}

void onObjectsAdded(ECalClientView *, const GSList *components, gpointer data)
{
    noteComponents(components, static_cast<Private::Calendar *>(data));
}

void onObjectsModified(ECalClientView *, const GSList *components, gpointer data)
{
    noteComponents(components, static_cast<Private::Calendar *>(data));
}

void onObjectsRemoved(ECalClientView *, const GSList *ids, gpointer data)
{
    auto *calendar = static_cast<Private::Calendar *>(data);
    for (const GSList *link = ids; link; link = link->next) {
        const auto *id = static_cast<const ECalComponentId *>(link->data);
        Change change;
        change.uid = QString::fromUtf8(e_cal_component_id_get_uid(id));
        change.rid = QString::fromUtf8(e_cal_component_id_get_rid(id));
        calendar->pending.push_back(std::move(change));
    }
    ++calendar->viewReports;
    if (calendar->viewComplete)
        calendar->owner->scheduleProcessing(calendar->owner->coalescingMs);
}

void onViewComplete(ECalClientView *, const GError *error, gpointer data)
{
    auto *calendar = static_cast<Private::Calendar *>(data);
    if (error)
        qCDebug(lcEds) << "reading" << calendar->title << "ended with:" << errorText(error);
    calendar->viewComplete = true;
    calendar->owner->scheduleProcessing(0);
}

// Whether GLib sources attached to this thread's default context run: Qt
// must be dispatching through GLib here (QT_NO_GLIB turns that off).
bool glibLoopRuns()
{
    const QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

} // namespace

// -- discovery -----------------------------------------------------------------

EdsProviderPrivate::EdsProviderPrivate(EdsProvider *provider, const Clock &clockRef)
    : q(provider)
    , clock(clockRef)
{
    cancellable = g_cancellable_new();
    loadTimer.setSingleShot(true);
    syncTimer.setSingleShot(true);
    syncTimer.setInterval(0);
    processTimer.setSingleShot(true);
    announceTimer.setSingleShot(true);
    announceTimer.setInterval(0);
    QObject::connect(&loadTimer, &QTimer::timeout, q, [this] {
        if (!loaded)
            qCDebug(lcEds) << "not every calendar answered in" << loadTimeoutMs << "ms; going on without them";
        markLoaded();
    });
    QObject::connect(&syncTimer, &QTimer::timeout, q, [this] { syncSources(); });
    QObject::connect(&processTimer, &QTimer::timeout, q, [this] { dispatchJob(); });
    QObject::connect(&announceTimer, &QTimer::timeout, q, [this] { emit q->changed(); });
    QObject::connect(&jobWatcher, &QFutureWatcherBase::finished, q, [this] { applyJob(jobWatcher.result()); });
    const auto [from, to] = windowFor(clock.now().date(), clock.timeZone());
    windowFromMs = from;
    windowToMs = to;
    windowDay = clock.now().date();
}

EdsProviderPrivate::~EdsProviderPrivate()
{
    g_cancellable_cancel(cancellable);
    if (runningJob) {
        jobWatcher.waitForFinished();
        releaseJob(*runningJob);
    }
    for (const auto &calendar : calendars)
        disconnectCalendar(*calendar);
    calendars.clear();
    if (watchId)
        g_bus_unwatch_name(watchId);
    if (registry) {
        g_signal_handlers_disconnect_by_data(registry, this);
        g_object_unref(registry);
    }
    if (bus)
        g_object_unref(bus);
    g_object_unref(cancellable);
}

void EdsProviderPrivate::start()
{
    if (!glibLoopRuns()) {
        qCDebug(lcEds) << "Qt does not run GLib's main loop here; the desktop's calendars are not read";
        giveUp();
        return;
    }
    loadTimer.start(loadTimeoutMs);
    g_bus_get(G_BUS_TYPE_SESSION, cancellable, onBusReady, new CallbackContext {weak_from_this(), {}, 0});
}

void EdsProviderPrivate::giveUp()
{
    // No registry (yet): nothing to wait for. One appearing later is taken up.
    markLoaded();
}

void EdsProviderPrivate::markLoaded()
{
    if (loaded)
        return;
    loaded = true;
    loadTimer.stop();
    emit q->loaded();
    emit q->changed();
}

void EdsProviderPrivate::checkLoaded()
{
    if (loaded || !registry)
        return;
    const bool allRead = std::all_of(calendars.begin(), calendars.end(),
        [](const std::unique_ptr<Calendar> &calendar) { return calendar->failed || calendar->everRead; });
    if (allRead)
        markLoaded();
}

void EdsProviderPrivate::announceChange()
{
    mergedDirty = true;
    if (!announceTimer.isActive())
        announceTimer.start();
}

void EdsProviderPrivate::busReady(GDBusConnection *connection, const GError *error)
{
    if (!connection) {
        qCDebug(lcEds) << "no session bus, so no desktop calendars:" << errorText(error);
        giveUp();
        return;
    }
    bus = connection;
    // Started by D-Bus activation where EDS is installed; appears or
    // vanishes at once, and is followed from then on.
    watchId = g_bus_watch_name_on_connection(bus, RegistryBusName, G_BUS_NAME_WATCHER_FLAGS_AUTO_START,
        onRegistryNameAppeared, onRegistryNameVanished, this, nullptr);
}

void EdsProviderPrivate::connectRegistry()
{
    registryPending = true;
    e_source_registry_new(cancellable, onRegistryReady, new CallbackContext {weak_from_this(), {}, 0});
}

void EdsProviderPrivate::registryReady(ESourceRegistry *newRegistry, const GError *error)
{
    registryPending = false;
    if (!newRegistry) {
        if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
            qCDebug(lcEds) << "no calendar registry on the session bus:" << errorText(error);
        giveUp();
        return;
    }
    registry = newRegistry;
    for (const char *signal : {"source-added", "source-removed", "source-changed", "source-enabled", "source-disabled"})
        connectSignal(registry, signal, onSourcesChanged, this);
    connectSignal(registry, "notify::default-calendar", onDefaultCalendarChanged, this);
    syncSources();
    checkLoaded();
}

QString EdsProviderPrivate::accountTitleOf(ESource *account, bool isCollection) const
{
    const QString name = takeString(e_source_dup_display_name(account));
    if (!isCollection)
        return name;
    auto *collection = E_SOURCE_BACKEND(e_source_get_extension(account, E_SOURCE_EXTENSION_COLLECTION));
    const QString backend = takeString(e_source_backend_dup_backend_name(collection));
    return EdsAccounts::sourceTitle(name, backend, e_source_has_extension(account, E_SOURCE_EXTENSION_GOA));
}

QString EdsProviderPrivate::accountServiceOf(ESource *account, bool isCollection)
{
    if (!isCollection)
        return {};
    auto *collection = E_SOURCE_BACKEND(e_source_get_extension(account, E_SOURCE_EXTENSION_COLLECTION));
    const QString backend = takeString(e_source_backend_dup_backend_name(collection));
    return EdsAccounts::serviceId(backend, e_source_has_extension(account, E_SOURCE_EXTENSION_GOA));
}

void EdsProviderPrivate::syncSources()
{
    if (!registry)
        return;
    struct Seen
    {
        ESource *source;
        QString uid, title, color, accountId, accountTitle, accountService;
    };
    std::vector<Seen> seen;
    GList *list = e_source_registry_list_sources(registry, E_SOURCE_EXTENSION_CALENDAR);
    for (GList *link = list; link; link = link->next) {
        auto *source = static_cast<ESource *>(link->data);
        if (!e_source_registry_check_enabled(registry, source))
            continue;
        Seen entry {source, QString::fromUtf8(e_source_get_uid(source)), takeString(e_source_dup_display_name(source)),
            {}, {}, {}, {}};
        auto *selectable = E_SOURCE_SELECTABLE(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
        entry.color = EdsAccounts::normalizedColor(takeString(e_source_selectable_dup_color(selectable)));
        // The account: the collection the calendar belongs to, else its parent.
        ESource *account = e_source_registry_find_extension(registry, source, E_SOURCE_EXTENSION_COLLECTION);
        const bool isCollection = account != nullptr;
        if (!account && e_source_get_parent(source))
            account = e_source_registry_ref_source(registry, e_source_get_parent(source));
        if (account) {
            entry.accountId = IdPrefix + QString::fromUtf8(e_source_get_uid(account));
            entry.accountTitle = accountTitleOf(account, isCollection);
            entry.accountService = accountServiceOf(account, isCollection);
            g_object_unref(account);
        } else {
            entry.accountId = IdPrefix + entry.uid;
            entry.accountTitle = entry.title;
        }
        seen.push_back(std::move(entry));
    }
    std::sort(seen.begin(), seen.end(), [](const Seen &a, const Seen &b) {
        return std::tie(a.accountTitle, a.accountId, a.title, a.uid)
            < std::tie(b.accountTitle, b.accountId, b.title, b.uid);
    });

    QStringList oldOrder;
    for (const auto &calendar : calendars)
        oldOrder.append(calendar->uid);
    QStringList newOrder;
    bool changedAnything = false;
    std::vector<std::unique_ptr<Calendar>> next;
    for (Seen &entry : seen) {
        newOrder.append(entry.uid);
        std::unique_ptr<Calendar> calendar;
        const auto old = std::find_if(calendars.begin(), calendars.end(),
            [&](const std::unique_ptr<Calendar> &c) { return c && c->uid == entry.uid; });
        if (old != calendars.end()) {
            calendar = std::move(*old);
        } else {
            calendar = std::make_unique<Calendar>();
            calendar->owner = this;
            calendar->uid = entry.uid;
            calendar->id = IdPrefix + entry.uid;
            calendar->source = static_cast<ESource *>(g_object_ref(entry.source));
        }
        changedAnything |= calendar->title != entry.title || calendar->color != entry.color
            || calendar->accountId != entry.accountId || calendar->accountTitle != entry.accountTitle
            || calendar->accountService != entry.accountService;
        calendar->title = entry.title;
        calendar->color = entry.color;
        calendar->accountId = entry.accountId;
        calendar->accountTitle = entry.accountTitle;
        calendar->accountService = entry.accountService;
        next.push_back(std::move(calendar));
    }
    g_list_free_full(list, g_object_unref);
    changedAnything |= oldOrder != newOrder;
    for (const auto &gone : calendars) {
        if (gone)
            disconnectCalendar(*gone);
    }
    calendars = std::move(next);
    for (const auto &calendar : calendars) {
        if (!calendar->client && !calendar->cancellable && !calendar->failed)
            connectCalendar(*calendar);
    }
    if (changedAnything)
        announceChange();
    checkLoaded();
}

// -- calendars -----------------------------------------------------------------

EdsProviderPrivate::Calendar *EdsProviderPrivate::calendarByUid(const QString &uid) const
{
    for (const auto &calendar : calendars) {
        if (calendar->uid == uid)
            return calendar.get();
    }
    return nullptr;
}

EdsProviderPrivate::Calendar *EdsProviderPrivate::calendarById(const QString &id) const
{
    return id.startsWith(IdPrefix) ? calendarByUid(id.mid(IdPrefix.size())) : nullptr;
}

void EdsProviderPrivate::connectCalendar(Calendar &calendar)
{
    ++calendar.generation;
    calendar.failed = false;
    calendar.viewComplete = false;
    calendar.fullReadPending = true;
    calendar.pending.clear();
    calendar.revision.clear();
    calendar.rereading = calendar.rereadAgain = false;
    calendar.cancellable = g_cancellable_new();
    e_cal_client_connect(calendar.source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, ConnectWaitSeconds, calendar.cancellable,
        onClientReady, new CallbackContext {weak_from_this(), calendar.uid, calendar.generation});
}

void EdsProviderPrivate::disconnectCalendar(Calendar &calendar)
{
    ++calendar.generation;
    if (calendar.cancellable) {
        g_cancellable_cancel(calendar.cancellable);
        g_clear_object(&calendar.cancellable);
    }
    if (calendar.view) {
        g_signal_handlers_disconnect_by_data(calendar.view, &calendar);
        e_cal_client_view_stop(calendar.view, nullptr);
        g_clear_object(&calendar.view);
    }
    if (calendar.client) {
        g_signal_handlers_disconnect_by_data(calendar.client, &calendar);
        g_clear_object(&calendar.client);
    }
    if (calendar.source)
        g_clear_object(&calendar.source);
    calendar.pending.clear();
    calendar.viewComplete = false;
}

void EdsProviderPrivate::clientReady(const CallbackContext &context, EClient *client, const GError *error)
{
    Calendar *calendar = calendarByUid(context.uid);
    if (!calendar || calendar->generation != context.generation) {
        if (client)
            g_object_unref(client);
        return;
    }
    if (!client) {
        qCDebug(lcEds) << "cannot open" << calendar->title << ":" << errorText(error);
        calendar->failed = true;
        g_clear_object(&calendar->cancellable);
        announceChange();
        checkLoaded();
        return;
    }
    calendar->client = E_CAL_CLIENT(client);
    // Floating times are the user's wall-clock times.
    if (ICalTimezone *zone = builtinZone(clock.timeZone()))
        e_cal_client_set_default_timezone(calendar->client, zone);
    calendar->readOnly = e_client_is_readonly(client);
    connectSignal(client, "notify::readonly", onReadOnlyChanged, calendar);
    connectSignal(client, "backend-died", onBackendDied, calendar);
    connectSignal(client, "backend-property-changed", onBackendPropertyChanged, calendar);
    e_cal_client_get_view(calendar->client, "#t", calendar->cancellable, onViewReady,
        new CallbackContext {weak_from_this(), calendar->uid, calendar->generation});
    announceChange();
}

void EdsProviderPrivate::viewReady(const CallbackContext &context, ECalClientView *view, const GError *error)
{
    Calendar *calendar = calendarByUid(context.uid);
    if (!calendar || calendar->generation != context.generation) {
        if (view)
            g_object_unref(view);
        return;
    }
    if (!view) {
        qCDebug(lcEds) << "cannot read" << calendar->title << ":" << errorText(error);
        calendar->failed = true;
        checkLoaded();
        return;
    }
    calendar->view = view;
    connectSignal(view, "objects-added", onObjectsAdded, calendar);
    connectSignal(view, "objects-modified", onObjectsModified, calendar);
    connectSignal(view, "objects-removed", onObjectsRemoved, calendar);
    connectSignal(view, "complete", onViewComplete, calendar);
    GError *startError = nullptr;
    e_cal_client_view_start(view, &startError);
    if (startError) {
        qCDebug(lcEds) << "cannot read" << calendar->title << ":" << errorText(startError);
        g_error_free(startError);
        calendar->failed = true;
        checkLoaded();
    }
}

void EdsProviderPrivate::scheduleReconnect(Calendar &calendar)
{
    const QString uid = calendar.uid;
    // What was read stays shown until the new connection has read it all again.
    ESource *source = static_cast<ESource *>(g_object_ref(calendar.source));
    disconnectCalendar(calendar);
    calendar.source = source;
    announceChange();
    QTimer::singleShot(ReconnectDelayMs, q, [this, uid] {
        if (Calendar *again = calendarByUid(uid); again && !again->client && !again->cancellable)
            connectCalendar(*again);
    });
}

void EdsProviderPrivate::noteRevision(Calendar &calendar, const QString &revision)
{
    const bool isNew = calendar.everRead && !calendar.revision.isEmpty() && revision != calendar.revision;
    calendar.revision = revision;
    if (!isNew)
        return;
    const int reportsBefore = calendar.viewReports;
    QTimer::singleShot(RevisionGraceMs, q, [this, uid = calendar.uid, generation = calendar.generation, reportsBefore] {
        Calendar *again = calendarByUid(uid);
        if (again && again->generation == generation && again->viewReports == reportsBefore)
            reread(*again);
    });
}

void EdsProviderPrivate::reread(Calendar &calendar)
{
    if (!calendar.client)
        return;
    if (calendar.rereading) {
        calendar.rereadAgain = true;
        return;
    }
    calendar.rereading = true;
    e_cal_client_get_object_list(calendar.client, "#t", calendar.cancellable, onObjectListReady,
        new CallbackContext {weak_from_this(), calendar.uid, calendar.generation});
}

void EdsProviderPrivate::rereadDone(const CallbackContext &context, GSList *components, const GError *error)
{
    Calendar *calendar = calendarByUid(context.uid);
    if (!calendar || calendar->generation != context.generation)
        return;
    calendar->rereading = false;
    if (error) {
        qCDebug(lcEds) << "cannot read" << calendar->title << "again:" << errorText(error);
    } else {
        // The whole calendar as it is now; the reports still held back
        // describe older states.
        calendar->pending.clear();
        for (GSList *link = components; link; link = link->next) {
            auto *component = static_cast<ICalComponent *>(link->data);
            Change change;
            change.uid = QString::fromUtf8(i_cal_component_get_uid(component));
            change.component.reset(static_cast<ICalComponent *>(g_object_ref(component)));
            calendar->pending.push_back(std::move(change));
        }
        calendar->fullReadPending = true;
        scheduleProcessing(0);
    }
    if (std::exchange(calendar->rereadAgain, false)) {
        QTimer::singleShot(RereadSpacingMs, q, [this, uid = context.uid, generation = context.generation] {
            Calendar *again = calendarByUid(uid);
            if (again && again->generation == generation)
                reread(*again);
        });
    }
}

// -- applying what the views report ---------------------------------------------

void EdsProviderPrivate::scheduleProcessing(int delayMs)
{
    if (processTimer.isActive() && processTimer.remainingTime() <= delayMs)
        return;
    processTimer.start(delayMs);
}

void EdsProviderPrivate::dispatchJob()
{
    if (runningJob)
        return; // the finished job looks again
    auto job = std::make_shared<Job>();
    job->zone = clock.timeZone();
    job->newWindow = newWindowWanted;
    job->day = newWindowWanted ? clock.now().date() : windowDay;
    std::tie(job->fromMs, job->toMs)
        = newWindowWanted ? windowFor(job->day, job->zone) : std::pair<qint64, qint64>(windowFromMs, windowToMs);
    for (const auto &calendar : calendars) {
        if (!calendar->client || !calendar->viewComplete)
            continue;
        const bool fresh = calendar->fullReadPending;
        if (calendar->pending.empty() && !job->newWindow && !fresh)
            continue;
        JobCalendar part;
        part.uid = calendar->uid;
        part.generation = calendar->generation;
        part.client = static_cast<ECalClient *>(g_object_ref(calendar->client));
        part.changes = std::move(calendar->pending);
        calendar->pending.clear();
        calendar->fullReadPending = false;
        if (fresh) {
            part.everything = true; // a complete read: the view's objects are the whole calendar
        } else if (job->newWindow) {
            part.everything = true;
            part.series = calendar->series;
        } else {
            for (const Change &change : part.changes)
                part.series.insert(change.uid, calendar->series.value(change.uid));
        }
        job->calendars.push_back(std::move(part));
    }
    newWindowWanted = false;
    if (job->calendars.empty() && !job->newWindow)
        return;
    runningJob = job;
    jobWatcher.setFuture(QtConcurrent::run([job] {
        runJob(*job);
        return job;
    }));
}

void EdsProviderPrivate::runJob(Job &job)
{
    for (JobCalendar &part : job.calendars) {
        const ZoneLookup zones {part.client, true};
        QSet<QString> touched;
        for (Change &change : part.changes) {
            touched.insert(change.uid);
            SeriesPtr &slot = part.series[change.uid];
            Series series = slot ? *slot : Series();
            if (change.component) {
                const RecordPtr record = recordFromComponent(change.component.get(), zones, job.zone);
                change.component.reset();
                if (!record)
                    continue;
                if (record->rid.isEmpty())
                    series.master = record;
                else
                    series.detached.insert(record->rid, record);
            } else if (change.rid.isEmpty()) {
                series = Series();
            } else {
                series.detached.remove(change.rid);
            }
            slot = series.isEmpty() ? nullptr : std::make_shared<const Series>(std::move(series));
        }
        for (auto it = part.series.begin(); it != part.series.end(); ++it) {
            if (!it.value() || (!part.everything && !touched.contains(it.key())))
                continue;
            Series expanded = *it.value();
            expanded.occurrences = expandSeries(expanded, job.fromMs, job.toMs, zones, job.zone);
            it.value() = std::make_shared<const Series>(std::move(expanded));
        }
        if (part.everything)
            part.series.removeIf([](const auto &entry) { return !entry.value(); });
    }
}

void EdsProviderPrivate::releaseJob(Job &job)
{
    for (JobCalendar &part : job.calendars)
        g_clear_object(&part.client);
}

void EdsProviderPrivate::applyJob(const std::shared_ptr<Job> &job)
{
    runningJob.reset();
    releaseJob(*job);
    if (job->newWindow) {
        windowFromMs = job->fromMs;
        windowToMs = job->toMs;
        windowDay = job->day;
    }
    for (JobCalendar &part : job->calendars) {
        Calendar *calendar = calendarByUid(part.uid);
        if (!calendar || calendar->generation != part.generation)
            continue;
        if (part.everything) {
            calendar->series = std::move(part.series);
            calendar->everRead = true;
            continue;
        }
        for (auto it = part.series.cbegin(); it != part.series.cend(); ++it)
            replaceSeries(*calendar, it.key(), it.value());
    }
    announceChange();
    checkLoaded();
    const bool morePending = newWindowWanted || std::any_of(calendars.begin(), calendars.end(), [](const auto &c) {
        return c->viewComplete && (!c->pending.empty() || c->fullReadPending);
    });
    if (morePending)
        scheduleProcessing(0);
}

void EdsProviderPrivate::replaceSeries(Calendar &calendar, const QString &uid, SeriesPtr series)
{
    if (series)
        calendar.series.insert(uid, std::move(series));
    else
        calendar.series.remove(uid);
    announceChange();
}

// -- queries -------------------------------------------------------------------

void EdsProviderPrivate::ensureWindowCurrent() const
{
    if (clock.now().date() == windowDay || newWindowWanted)
        return;
    // The day moved on: a new window is expanded in the background; until it
    // is there, the old one answers what it covers.
    auto *self = const_cast<EdsProviderPrivate *>(this);
    self->newWindowWanted = true;
    self->scheduleProcessing(0);
}

void EdsProviderPrivate::rebuildMergedWindow() const
{
    mergedShort.clear();
    mergedLong.clear();
    for (const auto &calendar : calendars) {
        for (const SeriesPtr &series : calendar->series) {
            for (const Occurrence &occurrence : series->occurrences) {
                const WindowEntry entry {&occurrence, calendar.get(), nullptr};
                if (occurrence.endMs - occurrence.startMs >= LongEventMs)
                    mergedLong.push_back(entry);
                else
                    mergedShort.push_back(entry);
            }
        }
    }
    std::sort(mergedShort.begin(), mergedShort.end(),
        [](const WindowEntry &a, const WindowEntry &b) { return a.occurrence->startMs < b.occurrence->startMs; });
    mergedDirty = false;
}

CalendarEvent EdsProviderPrivate::materialize(const Occurrence &occurrence, const Calendar &calendar) const
{
    const EventRecord &record = *occurrence.record;
    const QTimeZone userZone = clock.timeZone();
    CalendarEvent event;
    event.eventIdentifier = calendar.id + QLatin1Char('/') + record.uid;
    event.recurrenceKey = occurrence.ridKey;
    event.isRecurring = !occurrence.ridKey.isEmpty();
    event.id = event.isRecurring ? event.eventIdentifier + QLatin1Char('@') + occurrence.ridKey : event.eventIdentifier;
    event.title = record.title;
    event.hasTitle = record.hasTitle;
    event.allDay = record.allDay;
    if (event.allDay) {
        event.startDate = occurrence.startDate;
        event.endDate = occurrence.endDate;
        event.start = QDateTime(event.startDate, QTime(0, 0), userZone);
        event.end = QDateTime(event.endDate, QTime(0, 0), userZone);
    } else {
        const QTimeZone &zone = record.zone.isValid() ? record.zone : userZone;
        event.start = QDateTime::fromMSecsSinceEpoch(occurrence.startMs, zone);
        event.end = QDateTime::fromMSecsSinceEpoch(occurrence.endMs, zone);
    }
    event.calendarId = calendar.id;
    event.calendarTitle = calendar.title;
    event.calendarColor = calendar.color;
    event.sourceId = calendar.accountId;
    event.providerId = q->providerId();
    return event;
}

// -- the provider ----------------------------------------------------------------

EdsProvider::EdsProvider(const Clock &clock, QObject *parent)
    : CalendarProvider(parent)
    , d(std::make_shared<EdsProviderPrivate>(this, clock))
{ }

EdsProvider::~EdsProvider() = default;

void EdsProvider::start()
{
    d->start();
}

bool EdsProvider::isLoaded() const
{
    return d->loaded;
}

bool EdsProvider::isReadable() const
{
    return d->registry != nullptr;
}

bool EdsProvider::hasRegistry() const
{
    return d->registry && d->registryOnBus;
}

void EdsProvider::setLoadTimeout(int milliseconds)
{
    d->loadTimeoutMs = milliseconds;
}

void EdsProvider::setCoalescingInterval(int milliseconds)
{
    d->coalescingMs = milliseconds;
}

qsizetype EdsProvider::eventRecordCount() const
{
    qsizetype count = 0;
    for (const auto &calendar : d->calendars) {
        for (const SeriesPtr &series : calendar->series)
            count += (series->master ? 1 : 0) + series->detached.size();
    }
    return count;
}

size_t EdsProvider::windowOccurrenceCount() const
{
    if (d->mergedDirty)
        d->rebuildMergedWindow();
    return d->mergedShort.size() + d->mergedLong.size();
}

QList<CalendarSource> EdsProvider::sources() const
{
    QList<CalendarSource> result;
    QSet<QString> seen;
    for (const auto &calendar : d->calendars) {
        if (seen.contains(calendar->accountId))
            continue;
        seen.insert(calendar->accountId);
        result.append({calendar->accountId, calendar->accountTitle, providerId(), calendar->accountService});
    }
    return result;
}

QList<CalendarInfo> EdsProvider::calendars() const
{
    QList<CalendarInfo> result;
    for (const auto &calendar : d->calendars) {
        CalendarInfo info;
        info.identifier = calendar->id;
        info.title = calendar->title;
        info.color = calendar->color;
        info.sourceId = calendar->accountId;
        info.providerId = providerId();
        info.allowsModifications = calendar->client && !calendar->readOnly;
        result.append(info);
    }
    return result;
}

QString EdsProvider::defaultCalendarId() const
{
    if (!d->registry)
        return {};
    auto writable
        = [](const Private::Calendar *calendar) { return calendar && calendar->client && !calendar->readOnly; };
    if (ESource *source = e_source_registry_ref_default_calendar(d->registry)) {
        const Private::Calendar *calendar = d->calendarByUid(QString::fromUtf8(e_source_get_uid(source)));
        g_object_unref(source);
        if (writable(calendar))
            return calendar->id;
    }
    for (const auto &calendar : d->calendars) {
        if (writable(calendar.get()))
            return calendar->id;
    }
    return {};
}

QList<CalendarEvent> EdsProvider::events(
    const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds, qsizetype /*atLeastFirst*/) const
{
    if (!start.isValid() || !end.isValid() || d->calendars.empty())
        return {};
    const qint64 fromMs = start.toMSecsSinceEpoch();
    const qint64 toMs = end.toMSecsSinceEpoch();
    auto wanted = [&calendarIds](const Private::Calendar *calendar) {
        return calendarIds.isEmpty() || calendarIds.contains(calendar->id);
    };
    d->ensureWindowCurrent();

    std::vector<const Private::WindowEntry *> found;
    std::vector<Occurrence> expanded; // far from today: expanded for this query alone
    std::vector<Private::WindowEntry> farEntries;
    if (fromMs >= d->windowFromMs && toMs <= d->windowToMs) {
        if (d->mergedDirty)
            d->rebuildMergedWindow();
        auto byStart = [](const Private::WindowEntry &entry, qint64 ms) { return entry.occurrence->startMs < ms; };
        for (auto it = std::lower_bound(d->mergedShort.begin(), d->mergedShort.end(), fromMs - LongEventMs, byStart);
             it != d->mergedShort.end() && it->occurrence->startMs < toMs; ++it) {
            if (overlapsRange(it->occurrence->startMs, it->occurrence->endMs, fromMs, toMs) && wanted(it->calendar))
                found.push_back(&*it);
        }
        for (const Private::WindowEntry &entry : d->mergedLong) {
            if (overlapsRange(entry.occurrence->startMs, entry.occurrence->endMs, fromMs, toMs)
                && wanted(entry.calendar))
                found.push_back(&entry);
        }
    } else {
        std::vector<std::pair<size_t, const Private::Calendar *>> owners;
        for (const auto &calendar : d->calendars) {
            if (!wanted(calendar.get()))
                continue;
            const ZoneLookup zones {calendar->client, false};
            for (const SeriesPtr &series : calendar->series) {
                const size_t before = expanded.size();
                std::vector<Occurrence> ofSeries = expandSeries(*series, fromMs, toMs, zones, d->clock.timeZone());
                std::move(ofSeries.begin(), ofSeries.end(), std::back_inserter(expanded));
                if (expanded.size() > before)
                    owners.emplace_back(expanded.size(), calendar.get());
            }
        }
        size_t index = 0;
        for (const auto &[endIndex, calendar] : owners) {
            for (; index < endIndex; ++index)
                farEntries.push_back({&expanded[index], calendar, nullptr});
        }
        for (const Private::WindowEntry &entry : farEntries)
            found.push_back(&entry);
    }
    // By start; equal starts always in the same order.
    std::sort(found.begin(), found.end(), [](const Private::WindowEntry *a, const Private::WindowEntry *b) {
        if (a->occurrence->startMs != b->occurrence->startMs)
            return a->occurrence->startMs < b->occurrence->startMs;
        if (a->calendar != b->calendar)
            return a->calendar->id < b->calendar->id;
        if (a->occurrence->record->uid != b->occurrence->record->uid)
            return a->occurrence->record->uid < b->occurrence->record->uid;
        return a->occurrence->ridKey < b->occurrence->ridKey;
    });
    QList<CalendarEvent> result;
    result.reserve(qsizetype(found.size()));
    for (const Private::WindowEntry *entry : found) {
        if (!entry->event)
            entry->event = std::make_shared<const CalendarEvent>(d->materialize(*entry->occurrence, *entry->calendar));
        result.append(*entry->event);
    }
    return result;
}

// -- reading one event, writing ----------------------------------------------------

std::optional<CalendarEvent> EdsProvider::eventById(const QString &id) const
{
    // "<calendar id>/<UID>", and "@<recurrence key>" for one occurrence of a
    // series; a UID may hold '@' too, so every reading is tried.
    for (const auto &calendar : d->calendars) {
        const QString prefix = calendar->id + QLatin1Char('/');
        if (!id.startsWith(prefix))
            continue;
        const QString rest = id.mid(prefix.size());
        const ZoneLookup zones {calendar->client, false};
        const QTimeZone userZone = d->clock.timeZone();
        for (qsizetype at = rest.size(); at > 0; at = rest.lastIndexOf(QLatin1Char('@'), at - 1)) {
            const SeriesPtr series = calendar->series.value(rest.left(at));
            if (!series)
                continue;
            const QString key = rest.mid(at + 1);
            // Where the occurrence can lie: at the event's own start, at the
            // start of the changed occurrence the key names, or on the day
            // the key names (its original start).
            std::vector<qint64> around;
            if (key.isEmpty() && series->master)
                around.push_back(series->master->startMs);
            for (const RecordPtr &detached : series->detached) {
                if (!key.isEmpty() && detached->ridKey == key)
                    around.push_back(detached->startMs);
            }
            const QDate day = QDate::fromString(key.left(8), QStringLiteral("yyyyMMdd"));
            if (day.isValid())
                around.push_back(QDateTime(day, QTime(12, 0), QTimeZone::utc()).toMSecsSinceEpoch());
            // More than any zone's offset from the key's day.
            constexpr qint64 MarginMs = 3LL * 86400 * 1000;
            for (const qint64 ms : around) {
                for (const Occurrence &occurrence :
                    expandSeries(*series, ms - MarginMs, ms + MarginMs, zones, userZone)) {
                    CalendarEvent event = d->materialize(occurrence, *calendar);
                    if (event.id == id)
                        return event;
                }
            }
        }
    }
    return std::nullopt;
}

EventDetails EdsProvider::eventDetails(const CalendarEvent &event) const
{
    const Private::Calendar *calendar = d->calendarById(event.calendarId);
    if (!calendar || !calendar->client || !event.eventIdentifier.startsWith(calendar->id + QLatin1Char('/')))
        return {};
    const QByteArray uid = event.eventIdentifier.mid(calendar->id.size() + 1).toUtf8();
    // A changed occurrence has notes of its own; the others share the series'.
    QByteArray rid;
    if (const SeriesPtr series = calendar->series.value(QString::fromUtf8(uid));
        series && !event.recurrenceKey.isEmpty()) {
        for (const RecordPtr &detached : series->detached) {
            if (detached->ridKey == event.recurrenceKey)
                rid = detached->rid.toUtf8();
        }
    }
    struct Answer
    {
        std::mutex mutex;
        EventDetails details;
    };
    auto answer = std::make_shared<Answer>();
    auto *client = static_cast<ECalClient *>(g_object_ref(calendar->client));
    const bool inTime = runBounded(ReadTimeoutMs, [client, uid, rid, answer](GCancellable *cancellable) {
        ICalComponent *component = nullptr;
        if (e_cal_client_get_object_sync(
                client, uid.constData(), rid.isEmpty() ? nullptr : rid.constData(), &component, cancellable, nullptr)) {
            const EventDetails details = detailsOf(component);
            const std::lock_guard<std::mutex> lock(answer->mutex);
            answer->details = details;
        }
        g_clear_object(&component);
        g_object_unref(client);
    });
    if (!inTime) {
        qCDebug(lcEds) << "the details of an event of" << calendar->title << "did not come in time";
        return {};
    }
    const std::lock_guard<std::mutex> lock(answer->mutex);
    return answer->details;
}

namespace {

struct WriteOutcome
{
    std::mutex mutex;
    bool ok = false;
    QString error;
    QString uid;
};

QString readOnlyError(const QString &title)
{
    return QCoreApplication::translate("EdsProvider", "The calendar \"%1\" is read-only.").arg(title);
}

QString unreachableError(const QString &title)
{
    return QCoreApplication::translate("EdsProvider", "The calendar \"%1\" cannot be reached right now.").arg(title);
}

QString timeoutError(const QString &title)
{
    return QCoreApplication::translate("EdsProvider", "The calendar \"%1\" did not answer in time.").arg(title);
}

} // namespace

StoreResult EdsProvider::saveEvent(const NewEventRequest &request)
{
    Private::Calendar *calendar = d->calendarById(request.calendarId);
    if (!calendar)
        return StoreResult::failure(tr("The calendar no longer exists."));
    if (!calendar->client)
        return StoreResult::failure(unreachableError(calendar->title));
    // A read-only calendar may well accept the event and then drop it.
    if (calendar->readOnly || e_client_is_readonly(E_CLIENT(calendar->client)))
        return StoreResult::failure(readOnlyError(calendar->title));
    if (!request.start.isValid() || !request.end.isValid())
        return StoreResult::failure(tr("The event has no valid start and end."));
    if (request.allDay ? request.end.date() < request.start.date() : request.end < request.start)
        return StoreResult::failure(tr("The event ends before it starts."));

    const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray text = IcsWriter::newEventFile(request, uid, d->clock.now());
    GObjectPtr<ICalComponent> vcalendar(i_cal_component_new_from_string(text.constData()));
    GObjectPtr<ICalComponent> event(
        vcalendar ? i_cal_component_get_first_component(vcalendar.get(), I_CAL_VEVENT_COMPONENT) : nullptr);
    if (!event)
        return StoreResult::failure(tr("The event could not be written."));
    // The zones the event names go along, for calendars that keep their own.
    std::vector<ICalTimezone *> zones;
    for (ICalComponent *vtimezone = i_cal_component_get_first_component(vcalendar.get(), I_CAL_VTIMEZONE_COMPONENT);
         vtimezone; vtimezone = i_cal_component_get_next_component(vcalendar.get(), I_CAL_VTIMEZONE_COMPONENT)) {
        ICalTimezone *zone = i_cal_timezone_new();
        // The zone takes the component over, so it gets a copy of its own.
        ICalComponent *copy = i_cal_component_clone(vtimezone);
        if (i_cal_timezone_set_component(zone, copy))
            zones.push_back(zone);
        else
            g_object_unref(zone);
        g_object_unref(copy);
        g_object_unref(vtimezone);
    }

    auto outcome = std::make_shared<WriteOutcome>();
    auto *client = static_cast<ECalClient *>(g_object_ref(calendar->client));
    auto *component = static_cast<ICalComponent *>(g_object_ref(event.get()));
    const bool inTime = runBounded(WriteTimeoutMs, [client, component, zones, outcome](GCancellable *cancellable) {
        GError *error = nullptr;
        bool ok = true;
        for (ICalTimezone *zone : zones) {
            ok = ok && e_cal_client_add_timezone_sync(client, zone, cancellable, &error);
            g_object_unref(zone);
        }
        gchar *savedUid = nullptr;
        ok = ok
            && e_cal_client_create_object_sync(
                client, component, E_CAL_OPERATION_FLAG_NONE, &savedUid, cancellable, &error);
        {
            const std::lock_guard<std::mutex> lock(outcome->mutex);
            outcome->ok = ok;
            outcome->error = errorText(error);
            outcome->uid = QString::fromUtf8(savedUid);
        }
        g_free(savedUid);
        g_clear_error(&error);
        g_object_unref(component);
        g_object_unref(client);
    });
    if (!inTime)
        return StoreResult::failure(timeoutError(calendar->title));
    const std::lock_guard<std::mutex> lock(outcome->mutex);
    if (!outcome->ok)
        return StoreResult::failure(outcome->error);
    const QString savedUid = outcome->uid.isEmpty() ? uid : outcome->uid;

    // Shown at once; the calendar's view reports the same event shortly.
    const ZoneLookup lookup {calendar->client, false};
    i_cal_component_set_uid(event.get(), savedUid.toUtf8().constData());
    if (RecordPtr record = recordFromComponent(event.get(), lookup, d->clock.timeZone())) {
        Series series;
        series.master = std::move(record);
        series.occurrences = expandSeries(series, d->windowFromMs, d->windowToMs, lookup, d->clock.timeZone());
        d->replaceSeries(*calendar, savedUid, std::make_shared<const Series>(std::move(series)));
    }
    return StoreResult::success(calendar->id + QLatin1Char('/') + savedUid);
}

StoreResult EdsProvider::removeEvent(const CalendarEvent &event, RemoveSpan span)
{
    Q_UNUSED(span); // only this occurrence exists as a span
    Private::Calendar *calendar = d->calendarById(event.calendarId);
    if (!calendar)
        return StoreResult::failure(tr("The calendar no longer exists."));
    if (!event.eventIdentifier.startsWith(calendar->id + QLatin1Char('/')))
        return StoreResult::failure(tr("The event no longer exists."));
    if (!calendar->client)
        return StoreResult::failure(unreachableError(calendar->title));
    if (calendar->readOnly || e_client_is_readonly(E_CLIENT(calendar->client)))
        return StoreResult::failure(readOnlyError(calendar->title));

    const QString uid = event.eventIdentifier.mid(calendar->id.size() + 1);
    const SeriesPtr series = calendar->series.value(uid);
    // A changed occurrence is named as EDS names it; the others by their key,
    // which is the original start in a form EDS takes as RECURRENCE-ID (a
    // timed one in UTC, so that the EXDATE it writes is unambiguous).
    QString rid = event.recurrenceKey;
    if (series && !rid.isEmpty()) {
        for (const RecordPtr &detached : series->detached) {
            if (detached->ridKey == event.recurrenceKey)
                rid = detached->rid;
        }
    }
    const QByteArray uidText = uid.toUtf8();
    const QByteArray ridText = rid.toUtf8();
    const ECalObjModType mod = rid.isEmpty() ? E_CAL_OBJ_MOD_ALL : E_CAL_OBJ_MOD_THIS;
    auto outcome = std::make_shared<WriteOutcome>();
    auto *client = static_cast<ECalClient *>(g_object_ref(calendar->client));
    const bool inTime = runBounded(WriteTimeoutMs, [client, uidText, ridText, mod, outcome](GCancellable *cancellable) {
        GError *error = nullptr;
        const bool ok = e_cal_client_remove_object_sync(client, uidText.constData(),
            ridText.isEmpty() ? nullptr : ridText.constData(), mod, E_CAL_OPERATION_FLAG_NONE, cancellable, &error);
        {
            const std::lock_guard<std::mutex> lock(outcome->mutex);
            outcome->ok = ok;
            outcome->error = errorText(error);
        }
        g_clear_error(&error);
        g_object_unref(client);
    });
    if (!inTime)
        return StoreResult::failure(timeoutError(calendar->title));
    {
        const std::lock_guard<std::mutex> lock(outcome->mutex);
        if (!outcome->ok)
            return StoreResult::failure(outcome->error);
    }
    // Gone at once; the view reports the changed series shortly.
    if (!series || event.recurrenceKey.isEmpty()) {
        d->replaceSeries(*calendar, uid, nullptr);
    } else {
        Series rest = *series;
        std::erase_if(rest.occurrences, [&](const Occurrence &o) { return o.ridKey == event.recurrenceKey; });
        d->replaceSeries(*calendar, uid, std::make_shared<const Series>(std::move(rest)));
    }
    return StoreResult::success(event.eventIdentifier);
}
