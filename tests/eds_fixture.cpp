// SPDX-License-Identifier: GPL-3.0-or-later
// Sets up and changes calendars of a (private) Evolution Data Server the way
// another program of the desktop would: through the source registry and the
// calendar factory, from a process of its own. Used by the tests and the
// benchmark; prints what it did on failure and exits non-zero.
#include <libecal/libecal.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int fail(const char *what, GError *error)
{
    std::fprintf(stderr, "eds_fixture: %s: %s\n", what, error ? error->message : "failed");
    g_clear_error(&error);
    return 1;
}

ESourceRegistry *openRegistry()
{
    GError *error = nullptr;
    ESourceRegistry *registry = e_source_registry_new_sync(nullptr, &error);
    if (!registry)
        fail("registry", error);
    return registry;
}

// Adds a new source as a file of the registry (committing a calendar under
// a collection would ask the account's server to create it).
int create(ESourceRegistry *registry, ESource *source)
{
    GError *error = nullptr;
    GList sources = {source, nullptr, nullptr};
    if (!e_source_registry_create_sources_sync(registry, &sources, nullptr, &error))
        return fail("create", error);
    return 0;
}

ECalClient *openCalendar(ESourceRegistry *registry, const char *uid)
{
    ESource *source = e_source_registry_ref_source(registry, uid);
    if (!source) {
        std::fprintf(stderr, "eds_fixture: no source %s\n", uid);
        return nullptr;
    }
    GError *error = nullptr;
    EClient *client = e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, 5, nullptr, &error);
    g_object_unref(source);
    if (!client)
        fail("connect", error);
    return client ? E_CAL_CLIENT(client) : nullptr;
}

std::string readFile(const char *path)
{
    gchar *contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path, &contents, &length, nullptr))
        return {};
    std::string text(contents, length);
    g_free(contents);
    return text;
}

// add-account UID NAME BACKEND: a collection, as online accounts make them.
int addAccount(ESourceRegistry *registry, char **args)
{
    GError *error = nullptr;
    ESource *source = e_source_new_with_uid(args[0], nullptr, &error);
    if (!source)
        return fail("source", error);
    e_source_set_display_name(source, args[1]);
    auto *collection = E_SOURCE_BACKEND(e_source_get_extension(source, E_SOURCE_EXTENSION_COLLECTION));
    e_source_backend_set_backend_name(collection, args[2]);
    const int status = create(registry, source);
    g_object_unref(source);
    return status;
}

// add-calendar UID NAME PARENT COLOR [ICSFILE]: a calendar of EDS's file
// backend; with ICSFILE, a read-only calendar over that file.
int addCalendar(ESourceRegistry *registry, int count, char **args)
{
    GError *error = nullptr;
    ESource *source = e_source_new_with_uid(args[0], nullptr, &error);
    if (!source)
        return fail("source", error);
    e_source_set_display_name(source, args[1]);
    e_source_set_parent(source, args[2]);
    auto *calendar = E_SOURCE_SELECTABLE(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    e_source_backend_set_backend_name(E_SOURCE_BACKEND(calendar), "local");
    e_source_selectable_set_color(calendar, args[3]);
    if (count > 4) {
        auto *local = E_SOURCE_LOCAL(e_source_get_extension(source, E_SOURCE_EXTENSION_LOCAL_BACKEND));
        GFile *file = g_file_new_for_path(args[4]);
        e_source_local_set_custom_file(local, file);
        e_source_local_set_writable(local, FALSE);
        g_object_unref(file);
    }
    const int status = create(registry, source);
    g_object_unref(source);
    return status;
}

// add-remote UID NAME URL [webcal]: a CalDAV calendar on the desktop's
// "CalDAV" account, or with "webcal" a calendar file subscribed to on the web.
int addRemote(ESourceRegistry *registry, int count, char **args)
{
    const bool webcal = count > 3 && std::strcmp(args[3], "webcal") == 0;
    GError *error = nullptr;
    GUri *uri = g_uri_parse(args[2], G_URI_FLAGS_NONE, &error);
    if (!uri)
        return fail("uri", error);
    ESource *source = e_source_new_with_uid(args[0], nullptr, &error);
    if (!source)
        return fail("source", error);
    e_source_set_display_name(source, args[1]);
    e_source_set_parent(source, webcal ? "webcal-stub" : "caldav-stub");
    e_source_backend_set_backend_name(
        E_SOURCE_BACKEND(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR)), webcal ? "webcal" : "caldav");
    e_source_webdav_set_uri(E_SOURCE_WEBDAV(e_source_get_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND)), uri);
    auto *authentication = E_SOURCE_AUTHENTICATION(e_source_get_extension(source, E_SOURCE_EXTENSION_AUTHENTICATION));
    e_source_authentication_set_host(authentication, g_uri_get_host(uri));
    e_source_authentication_set_port(authentication, guint16(g_uri_get_port(uri)));
    g_uri_unref(uri);
    const int status = create(registry, source);
    g_object_unref(source);
    return status;
}

// import CALENDAR ICSFILE: every event of the file, as a calendar program
// imports a file.
int importFile(ESourceRegistry *registry, char **args)
{
    ECalClient *client = openCalendar(registry, args[0]);
    if (!client)
        return 1;
    const std::string text = readFile(args[1]);
    ICalComponent *vcalendar = i_cal_component_new_from_string(text.c_str());
    if (!vcalendar)
        return fail("parse", nullptr);
    GError *error = nullptr;
    const gboolean ok
        = e_cal_client_receive_objects_sync(client, vcalendar, E_CAL_OPERATION_FLAG_NONE, nullptr, &error);
    g_object_unref(vcalendar);
    g_object_unref(client);
    return ok ? 0 : fail("import", error);
}

// retitle CALENDAR UID TITLE: changes an event's SUMMARY.
int retitle(ESourceRegistry *registry, char **args)
{
    ECalClient *client = openCalendar(registry, args[0]);
    if (!client)
        return 1;
    GError *error = nullptr;
    ICalComponent *event = nullptr;
    if (!e_cal_client_get_object_sync(client, args[1], nullptr, &event, nullptr, &error))
        return fail("get", error);
    i_cal_component_set_summary(event, args[2]);
    const gboolean ok
        = e_cal_client_modify_object_sync(client, event, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE, nullptr, &error);
    g_object_unref(event);
    g_object_unref(client);
    return ok ? 0 : fail("modify", error);
}

// dump CALENDAR: the calendar's objects as iCalendar text.
int dump(ESourceRegistry *registry, char **args)
{
    ECalClient *client = openCalendar(registry, args[0]);
    if (!client)
        return 1;
    GError *error = nullptr;
    GSList *objects = nullptr;
    if (!e_cal_client_get_object_list_sync(client, "#t", &objects, nullptr, &error))
        return fail("list", error);
    for (GSList *link = objects; link; link = link->next) {
        gchar *text = i_cal_component_as_ical_string(static_cast<ICalComponent *>(link->data));
        std::fputs(text, stdout);
        g_free(text);
    }
    g_slist_free_full(objects, g_object_unref);
    g_object_unref(client);
    return 0;
}

int setDefault(ESourceRegistry *registry, char **args)
{
    ESource *source = e_source_registry_ref_source(registry, args[0]);
    if (!source)
        return fail("no such source", nullptr);
    e_source_registry_set_default_calendar(registry, source);
    g_object_unref(source);
    g_settings_sync();
    return 0;
}

int removeSource(ESourceRegistry *registry, char **args)
{
    ESource *source = e_source_registry_ref_source(registry, args[0]);
    if (!source)
        return fail("no such source", nullptr);
    GError *error = nullptr;
    const gboolean ok = e_source_remove_sync(source, nullptr, &error);
    g_object_unref(source);
    return ok ? 0 : fail("remove", error);
}

// rename UID NAME
int rename(ESourceRegistry *registry, char **args)
{
    ESource *source = e_source_registry_ref_source(registry, args[0]);
    if (!source)
        return fail("no such source", nullptr);
    e_source_set_display_name(source, args[1]);
    GError *error = nullptr;
    const gboolean ok = e_source_write_sync(source, nullptr, &error);
    g_object_unref(source);
    return ok ? 0 : fail("write", error);
}

struct Command
{
    const char *name;
    int minimumArguments;
};

} // namespace

int main(int argc, char **argv)
{
    const Command commands[] = {{"add-account", 3}, {"add-calendar", 4}, {"add-remote", 3}, {"import", 2},
        {"retitle", 3}, {"dump", 1}, {"set-default", 1}, {"remove-source", 1}, {"rename", 2}};
    const char *name = argc > 1 ? argv[1] : "";
    const int count = argc - 2;
    bool known = false;
    for (const Command &command : commands)
        known |= std::strcmp(command.name, name) == 0 && count >= command.minimumArguments;
    if (!known) {
        std::fprintf(stderr,
            "usage: eds_fixture add-account UID NAME BACKEND | add-calendar UID NAME PARENT COLOR [ICSFILE]\n"
            "       | add-remote UID NAME URL [webcal] | import CALENDAR ICSFILE | retitle CALENDAR UID TITLE | dump "
            "CALENDAR | "
            "set-default UID\n"
            "       | remove-source UID | rename UID NAME\n");
        return 2;
    }
    ESourceRegistry *registry = openRegistry();
    if (!registry)
        return 1;
    char **args = argv + 2;
    int status = 1;
    const std::string command = name;
    if (command == "add-account")
        status = addAccount(registry, args);
    else if (command == "add-calendar")
        status = addCalendar(registry, count, args);
    else if (command == "add-remote")
        status = addRemote(registry, count, args);
    else if (command == "import")
        status = importFile(registry, args);
    else if (command == "retitle")
        status = retitle(registry, args);
    else if (command == "dump")
        status = dump(registry, args);
    else if (command == "set-default")
        status = setDefault(registry, args);
    else if (command == "remove-source")
        status = removeSource(registry, args);
    else if (command == "rename")
        status = rename(registry, args);
    g_object_unref(registry);
    return status;
}
