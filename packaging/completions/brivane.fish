# fish completion for brivane

set -l commands agenda status add delete join zoho
set -l zoho_actions connect disconnect status sync

complete -c brivane -f
complete -c brivane -s h -l help -d "Print the help and exit"

complete -c brivane -n "not __fish_seen_subcommand_from $commands" -l toggle -d "Open or close the running brivane's popover"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -l settings -d "Open the settings window"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -l version -d "Print the version and exit"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -a agenda -d "Print today's and the coming week's events"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -a status -d "Print the status title"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -a add -d "Write a new event and print its id"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -a delete -d "Delete an event by its id"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -a join -d "Open the meeting under way or starting soon"
complete -c brivane -n "not __fish_seen_subcommand_from $commands" -a zoho -d "Connect, disconnect, check or sync Zoho Calendar"

complete -c brivane -n "__fish_seen_subcommand_from agenda" -l at -x -d "Take DATETIME (ISO 8601) as now"
complete -c brivane -n "__fish_seen_subcommand_from agenda" -l json -d "Print JSON"
complete -c brivane -n "__fish_seen_subcommand_from agenda" -l all -d "List every event, not only the first ten"

# `zoho status` is no `status`.
complete -c brivane -n "__fish_seen_subcommand_from status; and not __fish_seen_subcommand_from zoho" -l json -d "Print {text, tooltip, class}"
complete -c brivane -n "__fish_seen_subcommand_from status; and not __fish_seen_subcommand_from zoho" -l follow -d "Print a new line whenever the title changes"
complete -c brivane -n "__fish_seen_subcommand_from status; and not __fish_seen_subcommand_from zoho" -l at -x -d "Take DATETIME (ISO 8601) as now"

complete -c brivane -n "__fish_seen_subcommand_from join" -l at -x -d "Take DATETIME (ISO 8601) as now"

complete -c brivane -n "__fish_seen_subcommand_from add" -l start -x -d "When it starts (ISO 8601)"
complete -c brivane -n "__fish_seen_subcommand_from add" -l end -x -d "When it ends (ISO 8601)"
complete -c brivane -n "__fish_seen_subcommand_from add" -l all-day -d "An all-day event: --start and --end are dates"
complete -c brivane -n "__fish_seen_subcommand_from add" -l calendar -x -d "The calendar, by name or id"

complete -c brivane -n "__fish_seen_subcommand_from zoho; and not __fish_seen_subcommand_from $zoho_actions" -a connect -d "Connect with a one-time code"
complete -c brivane -n "__fish_seen_subcommand_from zoho; and not __fish_seen_subcommand_from $zoho_actions" -a disconnect -d "End the connection"
complete -c brivane -n "__fish_seen_subcommand_from zoho; and not __fish_seen_subcommand_from $zoho_actions" -a status -d "Print the connection and its calendars"
complete -c brivane -n "__fish_seen_subcommand_from zoho; and not __fish_seen_subcommand_from $zoho_actions" -a sync -d "Read Zoho's events now"
