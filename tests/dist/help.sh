# Sourced by the checks in this folder: what the programs' --help lists.

# The commands of `lumiveil --help`, one a line (the lines under "commands:").
help_commands() {
  "$1" --help | awk '/^commands:/ { on = 1; next } on && /^$/ { exit } on { print $1 }'
}

# The options named in a help text on standard input, one a line: every --word and -o.
help_options() {
  grep -oE '(^|[^A-Za-z0-9-])(-o|--[a-z][a-z0-9-]*)' | sed -E 's/^[^-]//' | sort -u
}
