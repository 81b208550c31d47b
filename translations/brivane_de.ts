<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AddCommand</name>
    <message>
        <source>the title holds a control character (a line break, an escape, …); only tabs are allowed</source>
        <translation>der Titel enthält ein Steuerzeichen (einen Zeilenumbruch, ein Escape, …); erlaubt sind nur Tabulatoren</translation>
    </message>
    <message>
        <source>several calendars are called &quot;%1&quot;; name one of them:</source>
        <translation>mehrere Kalender heißen „%1“; nenne einen davon:</translation>
    </message>
</context>
<context>
    <name>AgendaCommand</name>
    <message>
        <source>All day</source>
        <translation>Ganztägig</translation>
    </message>
    <message>
        <source>No events</source>
        <translation>Keine Termine</translation>
    </message>
    <message numerus="yes">
        <source>… and %n more</source>
        <translation>
            <numerusform>… und %n weiterer</numerusform>
            <numerusform>… und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>Upcoming</source>
        <translation>Demnächst</translation>
    </message>
    <message>
        <source>showing the last sync&apos;s events, from %1</source>
        <translation>Termine der letzten Synchronisierung vom %1</translation>
    </message>
</context>
<context>
    <name>AnyEventRowView</name>
    <message>
        <source>Join</source>
        <translation>Beitreten</translation>
    </message>
    <message>
        <source>Join %1</source>
        <translation>%1 beitreten</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Join Next Meeting: %1</source>
        <translation>Nächster Besprechung beitreten: %1</translation>
    </message>
    <message>
        <source>Join Next Meeting</source>
        <translation>Nächster Besprechung beitreten</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Quit brivane</source>
        <translation>brivane beenden</translation>
    </message>
</context>
<context>
    <name>AppearanceTab</name>
    <message>
        <source>Appearance</source>
        <translation>Darstellung</translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>Dim weekends</source>
        <translation>Wochenenden abblenden</translation>
    </message>
    <message>
        <source>Saturday and Sunday appear slightly muted</source>
        <translation>Samstag und Sonntag erscheinen etwas gedämpft</translation>
    </message>
    <message>
        <source>Show Week Numbers</source>
        <translation>Kalenderwochen anzeigen</translation>
    </message>
    <message>
        <source>A narrow column of ISO week numbers beside the month</source>
        <translation>Eine schmale Spalte mit ISO-Kalenderwochen neben dem Monat</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Open at Login</source>
        <translation>Bei der Anmeldung öffnen</translation>
    </message>
    <message>
        <source>brivane starts in the panel when you log in</source>
        <translation>brivane startet bei der Anmeldung in der Leiste</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Benachrichtigungen</translation>
    </message>
    <message>
        <source>Show Reminders</source>
        <translation>Erinnerungen anzeigen</translation>
    </message>
    <message>
        <source>Events&apos; alarms appear as desktop notifications</source>
        <translation>Die Erinnerungen der Termine erscheinen als Desktop-Benachrichtigungen</translation>
    </message>
    <message>
        <source>Default Reminder</source>
        <translation>Standard-Erinnerung</translation>
    </message>
    <message>
        <source>For timed events without alarms of their own</source>
        <translation>Für Termine mit Uhrzeit ohne eigene Erinnerung</translation>
    </message>
</context>
<context>
    <name>AppearanceTabViewModel</name>
    <message>
        <source>brivane cannot be set to open at login: %1</source>
        <translation>brivane kann nicht bei der Anmeldung geöffnet werden: %1</translation>
    </message>
    <message>
        <source>brivane still opens at login: %1</source>
        <translation>brivane öffnet sich weiterhin bei der Anmeldung: %1</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>At start of event</source>
        <translation>Zu Beginn des Termins</translation>
    </message>
    <message>
        <source>1 minute before</source>
        <translation>1 Minute vorher</translation>
    </message>
    <message>
        <source>%1 minutes before</source>
        <translation>%1 Minuten vorher</translation>
    </message>
</context>
<context>
    <name>AutostartEntry</name>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>der Ordner %1 kann nicht angelegt werden</translation>
    </message>
</context>
<context>
    <name>CalendarGridView</name>
    <message>
        <source>Previous Month</source>
        <translation>Vorheriger Monat</translation>
    </message>
    <message>
        <source>Next Month</source>
        <translation>Nächster Monat</translation>
    </message>
</context>
<context>
    <name>CalendarGridViewModel</name>
    <message>
        <source>, today</source>
        <translation>, heute</translation>
    </message>
    <message>
        <source>, selected</source>
        <translation>, ausgewählt</translation>
    </message>
    <message>
        <source>, with events</source>
        <translation>, mit Terminen</translation>
    </message>
    <message>
        <source>No day selected</source>
        <translation>Kein Tag ausgewählt</translation>
    </message>
    <message>
        <source>Week %1</source>
        <translation>KW %1</translation>
    </message>
    <message>
        <source>dddd d MMMM yyyy</source>
        <extracomment>A whole day for screen readers, in QDate::toString&apos;s format letters.</extracomment>
        <translation>dddd, d. MMMM yyyy</translation>
    </message>
</context>
<context>
    <name>CalendarNames</name>
    <message>
        <source>%1 — %2</source>
        <extracomment>A calendar&apos;s name and its account&apos;s, where two calendars have one name.</extracomment>
        <translation>%1 — %2</translation>
    </message>
</context>
<context>
    <name>CalendarPermissionPage</name>
    <message>
        <source>You can also add calendars later in
Settings → Online Accounts</source>
        <translation>Kalender kannst du auch später hinzufügen unter
Einstellungen → Online-Konten</translation>
    </message>
</context>
<context>
    <name>CalendarStore</name>
    <message>
        <source>The calendar no longer exists.</source>
        <translation>Den Kalender gibt es nicht mehr.</translation>
    </message>
</context>
<context>
    <name>CalendarTypes</name>
    <message>
        <source>Events can be saved between %1 and %2.</source>
        <translation>Termine können zwischen %1 und %2 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>CalendarsTab</name>
    <message>
        <source>Calendars</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>Shown in the Panel</source>
        <translation>In der Leiste angezeigt</translation>
    </message>
</context>
<context>
    <name>CalendarsTabViewModel</name>
    <message>
        <source>No calendars found.
Grant Calendar access to see your calendars.</source>
        <translation>Keine Kalender gefunden.
Erlaube den Kalenderzugriff, um deine Kalender zu sehen.</translation>
    </message>
</context>
<context>
    <name>CommandSupport</name>
    <message>
        <source>not an ISO 8601 date and time: %1</source>
        <translation>kein Datum mit Uhrzeit nach ISO 8601: %1</translation>
    </message>
</context>
<context>
    <name>ConfirmDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>DateTimeEdit</name>
    <message>
        <source>Day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>Monat</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Hour</source>
        <translation>Stunde</translation>
    </message>
    <message>
        <source>Minute</source>
        <translation>Minute</translation>
    </message>
</context>
<context>
    <name>DeleteCommand</name>
    <message>
        <source>one event at a time</source>
        <translation>immer nur ein Termin</translation>
    </message>
    <message>
        <source>the id of the event is missing</source>
        <translation>die ID des Termins fehlt</translation>
    </message>
    <message>
        <source>no event has the id &quot;%1&quot;</source>
        <translation>kein Termin hat die ID „%1“</translation>
    </message>
</context>
<context>
    <name>EdsProvider</name>
    <message>
        <source>The calendar &quot;%1&quot; is read-only.</source>
        <translation>Der Kalender „%1“ ist schreibgeschützt.</translation>
    </message>
    <message>
        <source>The calendar &quot;%1&quot; cannot be reached right now.</source>
        <translation>Der Kalender „%1“ ist gerade nicht erreichbar.</translation>
    </message>
    <message>
        <source>The calendar &quot;%1&quot; did not answer in time.</source>
        <translation>Der Kalender „%1“ hat nicht rechtzeitig geantwortet.</translation>
    </message>
    <message>
        <source>The calendar no longer exists.</source>
        <translation>Den Kalender gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>The event has no valid start and end.</source>
        <translation>Der Termin hat keinen gültigen Beginn und kein gültiges Ende.</translation>
    </message>
    <message>
        <source>The event ends before it starts.</source>
        <translation>Der Termin endet, bevor er beginnt.</translation>
    </message>
    <message>
        <source>The event could not be written.</source>
        <translation>Der Termin konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The event no longer exists.</source>
        <translation>Den Termin gibt es nicht mehr.</translation>
    </message>
</context>
<context>
    <name>EventCreation</name>
    <message>
        <source>No calendar selected</source>
        <translation>Kein Kalender ausgewählt</translation>
    </message>
    <message>
        <source>Could not save: </source>
        <translation>Speichern fehlgeschlagen: </translation>
    </message>
</context>
<context>
    <name>EventDetailView</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Termin</translation>
    </message>
    <message>
        <source>Delete Event</source>
        <translation>Termin löschen</translation>
    </message>
    <message>
        <source>Zoho Calendar</source>
        <translation>Zoho Calendar</translation>
    </message>
    <message>
        <source>Open in Calendar</source>
        <translation>Im Kalender öffnen</translation>
    </message>
</context>
<context>
    <name>EventDetailViewModel</name>
    <message>
        <source>Happening now</source>
        <translation>Läuft gerade</translation>
    </message>
    <message>
        <source>Zoho Calendar</source>
        <translation>Zoho Calendar</translation>
    </message>
    <message>
        <source>Join meeting</source>
        <translation>Besprechung beitreten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>The event could not be deleted.</source>
        <translation>Der Termin konnte nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>dddd, MMMM d, yyyy</source>
        <extracomment>The detail&apos;s date, in QDate::toString&apos;s format letters.</extracomment>
        <translation>dddd, d. MMMM yyyy</translation>
    </message>
</context>
<context>
    <name>EventFormatting</name>
    <message>
        <source>All day</source>
        <translation>Ganztägig</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Ohne Titel</translation>
    </message>
    <message>
        <source>in %1m</source>
        <comment>minutes until the start</comment>
        <translation>in %1 Min.</translation>
    </message>
    <message>
        <source>in %1h</source>
        <comment>hours until the start</comment>
        <translation>in %1 Std.</translation>
    </message>
    <message>
        <source>in %1d</source>
        <comment>days until the start</comment>
        <translation>in %1 Tg.</translation>
    </message>
    <message>
        <source>ends in %1m</source>
        <comment>minutes until the end</comment>
        <translation>endet in %1 Min.</translation>
    </message>
    <message>
        <source>now</source>
        <comment>an event under way</comment>
        <translation>jetzt</translation>
    </message>
    <message>
        <source>-%1m</source>
        <comment>minutes since the start of an event that is over</comment>
        <translation>-%1 Min.</translation>
    </message>
    <message>
        <source>-%1h</source>
        <comment>hours since the start of an event that is over</comment>
        <translation>-%1 Std.</translation>
    </message>
</context>
<context>
    <name>EventRemoval</name>
    <message>
        <source>Events of Zoho calendars cannot be deleted here.</source>
        <translation>Termine aus Zoho-Kalendern können hier nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>The calendar no longer exists.</source>
        <translation>Den Kalender gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>The calendar &quot;%1&quot; is read-only.</source>
        <translation>Der Kalender „%1“ ist schreibgeschützt.</translation>
    </message>
</context>
<context>
    <name>EventRowsModel</name>
    <message>
        <source>Zoho Calendar</source>
        <translation>Zoho Calendar</translation>
    </message>
</context>
<context>
    <name>EventsListView</name>
    <message>
        <source>New Event</source>
        <translation>Neuer Termin</translation>
    </message>
    <message>
        <source>No events</source>
        <translation>Keine Termine</translation>
    </message>
    <message>
        <source>Upcoming</source>
        <translation>Demnächst</translation>
    </message>
    <message>
        <source>Open Calendar</source>
        <translation>Kalender öffnen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>EventsListViewModel</name>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>No calendar application is installed</source>
        <translation>Keine Kalenderanwendung installiert</translation>
    </message>
    <message>
        <source>The calendar application did not start</source>
        <translation>Die Kalenderanwendung ist nicht gestartet</translation>
    </message>
    <message>
        <source>dddd, MMM d</source>
        <extracomment>The selected day&apos;s section title, in QDate::toString&apos;s format letters.</extracomment>
        <translation>dddd, d. MMM</translation>
    </message>
    <message>
        <source>Zoho Calendar, as of the last sync (%1)</source>
        <extracomment>Zoho&apos;s mark on an event, when Zoho could not be reached since the time named.</extracomment>
        <translation>Zoho Calendar, Stand der letzten Synchronisierung (%1)</translation>
    </message>
</context>
<context>
    <name>HelpText</name>
    <message>
        <source>usage: brivane [--toggle | --settings]
       brivane agenda [--at DATETIME] [--json] [--all]
       brivane add TITLE --start DATETIME [--end DATETIME] [--all-day] [--calendar NAME-OR-ID]
       brivane delete ID
       brivane join [--at DATETIME]
       brivane status [--json] [--follow] [--at DATETIME]
       brivane zoho connect CODE | disconnect | status | sync
       brivane --help | --version
</source>
        <translation>usage: brivane [--toggle | --settings]
       brivane agenda [--at DATUMZEIT] [--json] [--all]
       brivane add TITEL --start DATUMZEIT [--end DATUMZEIT] [--all-day] [--calendar NAME-ODER-ID]
       brivane delete ID
       brivane join [--at DATUMZEIT]
       brivane status [--json] [--follow] [--at DATUMZEIT]
       brivane zoho connect CODE | disconnect | status | sync
       brivane --help | --version
</translation>
    </message>
    <message>
        <source>  agenda              Print the rest of today&apos;s events and the coming week&apos;s:
                      the first ten of each list, and how many more there are.
    --at DATETIME     Take DATETIME as now.
    --json            Print JSON: each event&apos;s id, title, start, end, allDay,
                      calendar, calendarId, source, color and meetingUrl (and
                      lastDay for all-day events), and &quot;more&quot;.
    --all             List every event, not only the first ten of each list.
</source>
        <translation>  agenda              Die restlichen Termine von heute und die der kommenden Woche
                      ausgeben: die ersten zehn jeder Liste und wie viele es
                      noch gibt.
    --at DATUMZEIT    DATUMZEIT als jetzt nehmen.
    --json            JSON ausgeben: für jeden Termin id, title, start, end,
                      allDay, calendar, calendarId, source, color und meetingUrl
                      (bei ganztägigen Terminen auch lastDay) sowie &quot;more&quot;.
    --all             Jeden Termin auflisten, nicht nur die ersten zehn jeder
                      Liste.
</translation>
    </message>
    <message>
        <source>  status              Print the status title: the next event of today or
                      tomorrow with its countdown, or the date.
    --json            Print {&quot;text&quot;, &quot;tooltip&quot;, &quot;class&quot;}; class is &quot;event&quot;,
                      &quot;running&quot; or &quot;idle&quot;.
    --follow          Keep running and print a new line whenever the title
                      changes.
    --at DATETIME     Take DATETIME as now.
</source>
        <translation>  status              Den Statustitel ausgeben: den nächsten Termin von heute oder
                      morgen mit seinem Countdown, oder das Datum.
    --json            {&quot;text&quot;, &quot;tooltip&quot;, &quot;class&quot;} ausgeben; class ist &quot;event&quot;,
                      &quot;running&quot; oder &quot;idle&quot;.
    --follow          Weiterlaufen und bei jeder Änderung des Titels eine neue
                      Zeile ausgeben.
    --at DATUMZEIT    DATUMZEIT als jetzt nehmen.
</translation>
    </message>
    <message>
        <source>  add TITLE           Write a new event and print its id.
    --start DATETIME  When it starts (required).
    --end DATETIME    When it ends (without it: an hour after the start).
    --all-day         An all-day event: --start and --end are dates, and
                      --end is the last day.
    --calendar NAME-OR-ID
                      The calendar, by name, by name with its account or by
                      id (without it: the calendar the new-event form proposes).
</source>
        <translation>  add TITEL           Einen neuen Termin schreiben und seine ID ausgeben.
    --start DATUMZEIT Wann er beginnt (nötig).
    --end DATUMZEIT   Wann er endet (ohne: eine Stunde nach dem Beginn).
    --all-day         Ein ganztägiger Termin: --start und --end sind Daten, und
                      --end ist der letzte Tag.
    --calendar NAME-ODER-ID
                      Der Kalender, nach Name, nach Name mit seinem Konto oder
                      nach ID (ohne: der Kalender, den das Formular vorschlägt).
</translation>
    </message>
    <message>
        <source>  delete ID           Delete the event with that id (as `brivane agenda --json`
                      shows it); of a repeating event only that occurrence.
</source>
        <translation>  delete ID           Den Termin mit dieser ID löschen (wie `brivane agenda --json`
                      sie zeigt); bei einer Serie nur dieses eine Vorkommen.
</translation>
    </message>
    <message>
        <source>  join                Open the meeting link of the event under way or starting
                      within 15 minutes, and print its title and the link.
    --at DATETIME     Take DATETIME as now.
</source>
        <translation>  join                Den Besprechungslink des laufenden oder in 15 Minuten
                      beginnenden Termins öffnen und Titel und Link ausgeben.
    --at DATUMZEIT    DATUMZEIT als jetzt nehmen.
</translation>
    </message>
    <message>
        <source>  zoho connect CODE   Connect Zoho Calendar with a one-time code made in Zoho&apos;s
                      API console.
  zoho disconnect     End the connection to Zoho.
  zoho status         Print whether Zoho is connected, its calendars and how
                      the last sync ended.
  zoho sync           Read Zoho&apos;s events now and print how many there are.
</source>
        <translation>  zoho connect CODE   Zoho Calendar mit einem Einmalcode aus Zohos API-Konsole
                      verbinden.
  zoho disconnect     Die Verbindung zu Zoho beenden.
  zoho status         Ausgeben, ob Zoho verbunden ist, seine Kalender und wie
                      der letzte Abgleich endete.
  zoho sync           Zohos Termine jetzt lesen und ausgeben, wie viele es sind.
</translation>
    </message>
    <message>
        <source>DATETIME is ISO 8601, such as 2026-12-10T14:30 (local time) or
2026-12-10T14:30+01:00.
</source>
        <translation>DATUMZEIT ist ISO 8601, etwa 2026-12-10T14:30 (Ortszeit) oder
2026-12-10T14:30+01:00.
</translation>
    </message>
    <message>
        <source>Exit status:
  0    Success.
  1    The command failed: an event could not be written or deleted, the
       calendar named is read-only or not there, Zoho failed or is not
       connected (zoho sync), there is no meeting to join (join), or a
       running brivane does not answer.
  2    A bad argument: an unknown command or option, a date that is no
       date or lies outside 1900-01-01 to 2999-12-31, a --calendar that
       names several calendars, an id that names no event.
  127  brivane-app, the program that does the rest, could not be started.
</source>
        <translation>Rückgabewert:
  0    Erfolg.
  1    Der Befehl ist gescheitert: ein Termin konnte nicht geschrieben oder
       gelöscht werden, der genannte Kalender ist schreibgeschützt oder fehlt,
       Zoho scheiterte oder ist nicht verbunden (zoho sync), es gibt keine
       Besprechung zum Beitreten (join), oder ein laufendes brivane antwortet
       nicht.
  2    Ein falsches Argument: ein unbekannter Befehl oder eine unbekannte
       Option, ein Datum, das keins ist oder außerhalb von 1900-01-01 bis
       2999-12-31 liegt, ein --calendar, der mehrere Kalender nennt, eine ID,
       die keinen Termin nennt.
  127  brivane-app, das Programm für alles Übrige, konnte nicht gestartet werden.
</translation>
    </message>
    <message>
        <source>A calendar for the desktop&apos;s panel. Without a command, brivane starts in the
tray; when it runs already, the running one opens or closes its popover.
</source>
        <translation>Ein Kalender für die Leiste des Desktops. Ohne Befehl startet brivane im
Infobereich; läuft es schon, öffnet oder schließt das laufende sein Fenster.
</translation>
    </message>
    <message>
        <source>Options:
  --toggle            Open or close the running brivane&apos;s popover (start
                      brivane when none runs).
  --settings          Open the settings window (start brivane when none runs).
  -h, --help          Print this help, or with a command that command&apos;s, and
                      exit.
  --version           Print the version and exit.
</source>
        <translation>Optionen:
  --toggle            Das Fenster des laufenden brivane öffnen oder schließen
                      (brivane starten, wenn keins läuft).
  --settings          Die Einstellungen öffnen (brivane starten, wenn keins läuft).
  -h, --help          Diese Hilfe ausgeben, mit einem Befehl dessen Hilfe, und
                      beenden.
  --version           Die Version ausgeben und beenden.
</translation>
    </message>
    <message>
        <source>Commands:
</source>
        <translation>Befehle:
</translation>
    </message>
</context>
<context>
    <name>HowToPage</name>
    <message>
        <source>Here&apos;s how it works</source>
        <translation>So funktioniert es</translation>
    </message>
    <message>
        <source>Everything you need, nothing you don&apos;t.</source>
        <translation>Alles, was du brauchst, nichts, was du nicht brauchst.</translation>
    </message>
</context>
<context>
    <name>IcsWriter</name>
    <message>
        <source>Could not write &quot;%1&quot;: %2</source>
        <translation>„%1“ konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The event&apos;s file could not be read completely, so it is left unchanged.</source>
        <translation>Die Datei des Termins konnte nicht vollständig gelesen werden und bleibt daher unverändert.</translation>
    </message>
    <message>
        <source>The occurrence could not be matched to its series.</source>
        <translation>Der Termin konnte keiner Serie zugeordnet werden.</translation>
    </message>
    <message>
        <source>The event is no longer in its file.</source>
        <translation>Der Termin steht nicht mehr in seiner Datei.</translation>
    </message>
    <message>
        <source>The file was changed by another program.</source>
        <translation>Die Datei wurde von einem anderen Programm geändert.</translation>
    </message>
    <message>
        <source>Could not delete &quot;%1&quot;: %2</source>
        <translation>„%1“ konnte nicht gelöscht werden: %2</translation>
    </message>
</context>
<context>
    <name>IntegrationRow</name>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
</context>
<context>
    <name>IntegrationsTab</name>
    <message>
        <source>Integrations</source>
        <translation>Integrationen</translation>
    </message>
    <message>
        <source>Calendar Sources</source>
        <translation>Kalenderquellen</translation>
    </message>
    <message>
        <source>Integrations connect through the desktop&apos;s calendars. Connected accounts appear in your Calendars tab automatically.</source>
        <translation>Integrationen verbinden sich über die Kalender des Desktops. Verbundene Konten erscheinen automatisch im Reiter „Kalender“.</translation>
    </message>
</context>
<context>
    <name>IntegrationsTabViewModel</name>
    <message>
        <source>Connected via Zoho Self Client</source>
        <translation>Verbunden über Zoho Self Client</translation>
    </message>
    <message>
        <source>Connect using a generated code</source>
        <translation>Mit einem erzeugten Code verbinden</translation>
    </message>
    <message>
        <source>Set up</source>
        <translation>Einrichten</translation>
    </message>
    <message>
        <source>Not installed</source>
        <translation>Nicht installiert</translation>
    </message>
    <message>
        <source>Opens your calendar application</source>
        <translation>Öffnet deine Kalenderanwendung</translation>
    </message>
    <message>
        <source>Opens Settings → Online Accounts</source>
        <translation>Öffnet Einstellungen → Online-Konten</translation>
    </message>
    <message>
        <source>No calendar application is installed (GNOME Calendar, KOrganizer or Evolution)</source>
        <translation>Keine Kalenderanwendung installiert (GNOME Kalender, KOrganizer oder Evolution)</translation>
    </message>
    <message>
        <source>No online-accounts settings on this desktop (GNOME Settings or KDE System Settings)</source>
        <translation>Dieser Desktop hat keine Einstellungen für Online-Konten (GNOME-Einstellungen oder KDE-Systemeinstellungen)</translation>
    </message>
    <message>
        <source>Desktop Calendars</source>
        <translation>Desktop-Kalender</translation>
    </message>
    <message>
        <source>Calendars on this computer</source>
        <translation>Kalender auf diesem Computer</translation>
    </message>
    <message>
        <source>Connected on this computer</source>
        <translation>Auf diesem Computer verbunden</translation>
    </message>
    <message>
        <source>Google Calendar</source>
        <translation>Google Kalender</translation>
    </message>
    <message>
        <source>Add via Settings → Online Accounts</source>
        <translation>Über Einstellungen → Online-Konten hinzufügen</translation>
    </message>
    <message>
        <source>Connected via Google account</source>
        <translation>Über Google-Konto verbunden</translation>
    </message>
    <message>
        <source>Outlook Calendar</source>
        <translation>Outlook-Kalender</translation>
    </message>
    <message>
        <source>Connected via Microsoft account</source>
        <translation>Über Microsoft-Konto verbunden</translation>
    </message>
    <message>
        <source>This copy of brivane was built without a Zoho client ID, so it cannot connect to Zoho. The Zoho Calendar section of brivane&apos;s README says how to build it with one.</source>
        <translation>Diese Kopie von brivane wurde ohne Zoho-Client-ID gebaut und kann sich daher nicht mit Zoho verbinden. Wie man sie mit einer baut, steht im Abschnitt „Zoho Calendar“ der README von brivane.</translation>
    </message>
</context>
<context>
    <name>JoinCommand</name>
    <message>
        <source>No meeting to join</source>
        <translation>Keine Besprechung zum Beitreten</translation>
    </message>
    <message>
        <source>the link could not be opened (is xdg-open installed?)</source>
        <translation>der Link konnte nicht geöffnet werden (ist xdg-open installiert?)</translation>
    </message>
</context>
<context>
    <name>LocalFolderProvider</name>
    <message>
        <source>The calendar no longer exists.</source>
        <translation>Den Kalender gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>The calendar &quot;%1&quot; is read-only.</source>
        <translation>Der Kalender „%1“ ist schreibgeschützt.</translation>
    </message>
    <message>
        <source>The folder of the calendar &quot;%1&quot; no longer exists.</source>
        <translation>Den Ordner des Kalenders „%1“ gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>The event has no valid start and end.</source>
        <translation>Der Termin hat keinen gültigen Beginn und kein gültiges Ende.</translation>
    </message>
    <message>
        <source>The event ends before it starts.</source>
        <translation>Der Termin endet, bevor er beginnt.</translation>
    </message>
    <message>
        <source>The event no longer exists.</source>
        <translation>Den Termin gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>Could not read &quot;%1&quot;: %2</source>
        <translation>„%1“ konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is being changed by another program; the event was left as it is.</source>
        <translation>„%1“ wird gerade von einem anderen Programm geändert; der Termin bleibt, wie er ist.</translation>
    </message>
</context>
<context>
    <name>MenuBarPopoverView</name>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>Delete Event</source>
        <translation>Termin löschen</translation>
    </message>
</context>
<context>
    <name>NewEventView</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>New Event</source>
        <translation>Neuer Termin</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Event title</source>
        <translation>Titel des Termins</translation>
    </message>
    <message>
        <source>All day</source>
        <translation>Ganztägig</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
</context>
<context>
    <name>OnboardingView</name>
    <message>
        <source>Welcome to brivane</source>
        <translation>Willkommen bei brivane</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
</context>
<context>
    <name>OnboardingViewModel</name>
    <message>
        <source>Calendar Access Granted</source>
        <translation>Kalenderzugriff erlaubt</translation>
    </message>
    <message>
        <source>Allow Calendar Access</source>
        <translation>Kalenderzugriff erlauben</translation>
    </message>
    <message>
        <source>brivane can now read and create events across all your calendars.</source>
        <translation>brivane kann jetzt in all deinen Kalendern Termine lesen und anlegen.</translation>
    </message>
    <message>
        <source>brivane needs access to your calendars to show events and let you create new ones.</source>
        <translation>brivane braucht Zugriff auf deine Kalender, um Termine anzuzeigen und neue anzulegen.</translation>
    </message>
    <message>
        <source>Requesting…</source>
        <translation>Wird angefragt …</translation>
    </message>
    <message>
        <source>Grant Calendar Access</source>
        <translation>Kalenderzugriff erlauben</translation>
    </message>
    <message>
        <source>Skip for now</source>
        <translation>Vorerst überspringen</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Get Started</source>
        <translation>Loslegen</translation>
    </message>
    <message>
        <source>View your calendar</source>
        <translation>Deinen Kalender ansehen</translation>
    </message>
    <message>
        <source>Create events</source>
        <translation>Termine anlegen</translation>
    </message>
    <message>
        <source>Event details</source>
        <translation>Termindetails</translation>
    </message>
    <message>
        <source>Tap any event to see full details, notes, and links — or delete it.</source>
        <translation>Tippe auf einen Termin, um alle Details, Notizen und Links zu sehen – oder um ihn zu löschen.</translation>
    </message>
    <message>
        <source>Customise</source>
        <translation>Anpassen</translation>
    </message>
    <message>
        <source>Right-click the icon → Settings to manage calendars, connect Zoho, and more.</source>
        <translation>Rechtsklick auf das Symbol → Einstellungen, um Kalender zu verwalten, Zoho zu verbinden und mehr.</translation>
    </message>
    <message>
        <source>Click the calendar icon in the panel to see the month view and all your upcoming events.</source>
        <translation>Klicke auf das Kalendersymbol in der Leiste, um den Monat und alle anstehenden Termine zu sehen.</translation>
    </message>
    <message>
        <source>Click + or double-tap a day to create a new event right from the panel.</source>
        <translation>Klicke auf + oder doppelt auf einen Tag, um direkt aus der Leiste einen Termin anzulegen.</translation>
    </message>
</context>
<context>
    <name>ReminderScheduler</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Beitreten</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Snooze</source>
        <translation>Später erinnern</translation>
    </message>
</context>
<context>
    <name>SafeFile</name>
    <message>
        <source>a FIFO, not a regular file</source>
        <translation>eine FIFO, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>a device, not a regular file</source>
        <translation>ein Gerät, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>a socket, not a regular file</source>
        <translation>ein Socket, keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>a folder, not a file</source>
        <translation>ein Ordner, keine Datei</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>file of %1 bytes is too large to read</source>
        <translation>Datei mit %1 Bytes ist zu groß zum Lesen</translation>
    </message>
    <message>
        <source>file grew beyond %1 bytes while being read</source>
        <translation>Datei wuchs beim Lesen über %1 Bytes</translation>
    </message>
    <message>
        <source>cannot make the folder %1</source>
        <translation>Ordner %1 kann nicht angelegt werden</translation>
    </message>
</context>
<context>
    <name>SectionHeaderButton</name>
    <message>
        <source>Expanded</source>
        <translation>Ausgeklappt</translation>
    </message>
    <message>
        <source>Collapsed</source>
        <translation>Eingeklappt</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Settings sections</source>
        <translation>Bereiche der Einstellungen</translation>
    </message>
</context>
<context>
    <name>SettingsViewModel</name>
    <message>
        <source>Calendars</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>Integrations</source>
        <translation>Integrationen</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Darstellung</translation>
    </message>
</context>
<context>
    <name>StatusTitle</name>
    <message numerus="yes">
        <source>and %n more</source>
        <translation>
            <numerusform>und %n weiterer</numerusform>
            <numerusform>und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>ddd d MMM</source>
        <comment>date format of the panel&apos;s title</comment>
        <translation>ddd d. MMM</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Termin</translation>
    </message>
    <message>
        <source>%1m left</source>
        <comment>minutes until the event ends</comment>
        <translation>noch %1 Min.</translation>
    </message>
    <message>
        <source>in %1m</source>
        <comment>minutes until the event starts</comment>
        <translation>in %1 Min.</translation>
    </message>
</context>
<context>
    <name>TargetsModel</name>
    <message>
        <source>, Zoho Calendar</source>
        <translation>, Zoho Calendar</translation>
    </message>
</context>
<context>
    <name>WelcomePage</name>
    <message>
        <source>Welcome to
brivane</source>
        <translation>Willkommen bei
brivane</translation>
    </message>
    <message>
        <source>Your calendar, always one click away.
Events, reminders, and new events — right from the panel.</source>
        <translation>Dein Kalender, immer nur einen Klick entfernt.
Termine, Erinnerungen und neue Termine – direkt aus der Leiste.</translation>
    </message>
</context>
<context>
    <name>ZohoAuthManager</name>
    <message>
        <source>Unexpected response: </source>
        <translation>Unerwartete Antwort: </translation>
    </message>
    <message>
        <source>Invalid response</source>
        <translation>Ungültige Antwort</translation>
    </message>
    <message>
        <source>Refresh failed</source>
        <translation>Erneuerung fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>ZohoCalendarManager</name>
    <message>
        <source>Zoho refused access: </source>
        <translation>Zoho verweigerte den Zugriff: </translation>
    </message>
    <message>
        <source>Invalid calendars response</source>
        <translation>Ungültige Antwort auf die Kalenderliste</translation>
    </message>
    <message>
        <source>Only the first %1 of %2 Zoho calendars are read; left out: %3</source>
        <translation>Nur die ersten %1 von %2 Zoho-Kalendern werden gelesen; ausgelassen: %3</translation>
    </message>
    <message>
        <source>Invalid events response</source>
        <translation>Ungültige Antwort auf die Terminliste</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>ZohoCodeEntrySheet</name>
    <message>
        <source>Connect Zoho Calendar</source>
        <translation>Zoho Calendar verbinden</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Follow these steps in the Zoho API Console:</source>
        <translation>Folge diesen Schritten in der Zoho API Console:</translation>
    </message>
    <message>
        <source>Copy scopes</source>
        <translation>Scopes kopieren</translation>
    </message>
    <message>
        <source>Open Zoho Console</source>
        <translation>Zoho Console öffnen</translation>
    </message>
    <message>
        <source>I have my code</source>
        <translation>Ich habe meinen Code</translation>
    </message>
    <message>
        <source>Paste the code from the Zoho Console below.
Codes expire in 10 minutes — don&apos;t wait!</source>
        <translation>Füge unten den Code aus der Zoho Console ein.
Codes verfallen nach 10 Minuten – warte nicht zu lange!</translation>
    </message>
    <message>
        <source>Authorization code</source>
        <translation>Autorisierungscode</translation>
    </message>
    <message>
        <source>Paste code here…</source>
        <translation>Code hier einfügen …</translation>
    </message>
</context>
<context>
    <name>ZohoCodeEntryViewModel</name>
    <message>
        <source>Connecting…</source>
        <translation>Wird verbunden …</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Open **api-console.zoho.com** and choose your **Self Client**</source>
        <translation>Öffne **api-console.zoho.com** und wähle deinen **Self Client**</translation>
    </message>
    <message>
        <source>Click **Generate Code**</source>
        <translation>Klicke auf **Generate Code**</translation>
    </message>
    <message>
        <source>Enter these scopes:
`ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL`</source>
        <translation>Gib diese Scopes ein:
`ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL`</translation>
    </message>
    <message>
        <source>Set duration to **10 minutes**</source>
        <translation>Setze die Dauer auf **10 minutes**</translation>
    </message>
    <message>
        <source>Click **Create** — you&apos;ll get a one-time code</source>
        <translation>Klicke auf **Create** – du bekommst einen Einmalcode</translation>
    </message>
    <message>
        <source>Come back here and **paste the code** on the next screen</source>
        <translation>Komm hierher zurück und **füge den Code** auf der nächsten Seite ein</translation>
    </message>
</context>
<context>
    <name>ZohoCommand</name>
    <message>
        <source>hidden</source>
        <translation>ausgeblendet</translation>
    </message>
    <message>
        <source>default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>the code is empty</source>
        <translation>der Code ist leer</translation>
    </message>
    <message>
        <source>Connected to Zoho.</source>
        <translation>Mit Zoho verbunden.</translation>
    </message>
    <message>
        <source>Disconnected from Zoho.</source>
        <translation>Von Zoho getrennt.</translation>
    </message>
    <message>
        <source>Zoho: not connected</source>
        <translation>Zoho: nicht verbunden</translation>
    </message>
    <message>
        <source>Warning: %1</source>
        <translation>Warnung: %1</translation>
    </message>
    <message>
        <source>Synced %1 calendars: %2 events today, %3 in the coming week.</source>
        <translation>%1 Kalender synchronisiert: %2 Termine heute, %3 in der kommenden Woche.</translation>
    </message>
    <message>
        <source>Zoho: connected</source>
        <translation>Zoho: verbunden</translation>
    </message>
    <message>
        <source>Showing the last sync&apos;s calendars and events, from %1</source>
        <translation>Kalender und Termine der letzten Synchronisierung vom %1</translation>
    </message>
    <message>
        <source>Last sync: %1</source>
        <translation>Letzte Synchronisierung: %1</translation>
    </message>
    <message>
        <source>Last error: %1</source>
        <translation>Letzter Fehler: %1</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keiner</translation>
    </message>
</context>
<context>
    <name>ZohoConfig</name>
    <message>
        <source>Not a valid server address: %1</source>
        <translation>Keine gültige Serveradresse: %1</translation>
    </message>
    <message>
        <source>Refusing to send Zoho credentials to %1: only https is allowed</source>
        <translation>Zoho-Zugangsdaten werden nicht an %1 gesendet: nur https ist erlaubt</translation>
    </message>
</context>
<context>
    <name>ZohoError</name>
    <message>
        <source>Token error: </source>
        <translation>Token-Fehler: </translation>
    </message>
    <message>
        <source>API error: </source>
        <translation>API-Fehler: </translation>
    </message>
    <message>
        <source>Not authenticated with Zoho</source>
        <translation>Nicht bei Zoho angemeldet</translation>
    </message>
    <message>
        <source>Zoho access was revoked: connect again</source>
        <translation>Der Zugriff auf Zoho wurde widerrufen: bitte neu verbinden</translation>
    </message>
</context>
<context>
    <name>ZohoHttp</name>
    <message>
        <source>Could not connect to %1: connection refused</source>
        <translation>Keine Verbindung zu %1: Verbindung abgelehnt</translation>
    </message>
    <message>
        <source>Connection reset by the server</source>
        <translation>Verbindung vom Server zurückgesetzt</translation>
    </message>
    <message>
        <source>Server not found: %1</source>
        <translation>Server nicht gefunden: %1</translation>
    </message>
    <message>
        <source>The request timed out.</source>
        <translation>Die Anfrage hat zu lange gedauert.</translation>
    </message>
    <message>
        <source>Secure connection to %1 failed: %2</source>
        <translation>Sichere Verbindung zu %1 fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>Zoho redirected the request too many times</source>
        <translation>Zoho hat die Anfrage zu oft umgeleitet</translation>
    </message>
    <message>
        <source>Zoho redirected the request to another server (%1); it was not followed</source>
        <translation>Zoho hat die Anfrage an einen anderen Server umgeleitet (%1); der Umleitung wurde nicht gefolgt</translation>
    </message>
    <message>
        <source>Zoho&apos;s answer is larger than %1 MB; it was not read</source>
        <translation>Die Antwort von Zoho ist größer als %1 MB; sie wurde nicht gelesen</translation>
    </message>
    <message>
        <source>Zoho answered with something that is not JSON</source>
        <translation>Zoho hat mit etwas geantwortet, das kein JSON ist</translation>
    </message>
</context>
<context>
    <name>ZohoIntegrationRow</name>
    <message>
        <source>Zoho Calendar</source>
        <translation>Zoho Calendar</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Connect Zoho Calendar</source>
        <translation>Zoho Calendar verbinden</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Disconnect Zoho Calendar</source>
        <translation>Zoho Calendar trennen</translation>
    </message>
</context>
<context>
    <name>ZohoKeychain</name>
    <message>
        <source>The Secret Service is not available: the Zoho connection will not survive a restart.</source>
        <translation>Der Secret Service ist nicht verfügbar: Die Zoho-Verbindung übersteht keinen Neustart.</translation>
    </message>
</context>
<context>
    <name>ZohoProvider</name>
    <message>
        <source>Zoho Calendar</source>
        <translation>Zoho Calendar</translation>
    </message>
    <message>
        <source>A Zoho calendar takes new events only in the background.</source>
        <translation>Ein Zoho-Kalender nimmt neue Termine nur im Hintergrund an.</translation>
    </message>
</context>
<context>
    <name>ZohoServices</name>
    <message>
        <source>Zoho did not finish in time (%1 s)</source>
        <translation>Zoho wurde nicht rechtzeitig fertig (%1 s)</translation>
    </message>
</context>
</TS>
