#!/bin/sh
# The package's strip: as Debian strips installed programs and plug-ins, without the
# .comment and .note sections that plain strip leaves (cmake --install calls it with the
# file as the last argument).
exec strip --remove-section=.comment --remove-section=.note "$@"
