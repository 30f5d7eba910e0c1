#!/bin/sh
# Prints a help2man include file whose one section holds a program's output as it is, line for
# line: qb_add_man_page's INCLUDE for text the program writes itself.
# Usage: h2m-section.sh SECTION PROGRAM [ARG...]
set -eu
section=$1
shift
printf '[%s]\n.nf\n' "$section"
# Backslashes and a line's leading dot or quote would be read as roff.
"$@" | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
printf '.fi\n'
