#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion offers exactly the commands `zr8ctl --help` lists, and
# a command's own values.
#   completion_test.sh ZR8CTL COMPLETION
set -euo pipefail
zr8ctl=$1
# shellcheck source=/dev/null
source "$2"

offered() {  # the line typed so far
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$zr8ctl
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _zr8ctl
    echo "${COMPREPLY[*]}"
}

listed=$("$zr8ctl" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }' | sort)
commands=$(offered "zr8ctl " | tr ' ' '\n' | sort)
if [[ $listed != "$commands" ]]; then
    echo "zr8ctl --help lists:" $listed
    echo "the completion offers:" $commands
    exit 1
fi
for line in "zr8ctl move |north south west east" "zr8ctl --port sim tracking o|on off" \
            "zr8ctl restore --o|--other-controller" "zr8ctl goto 5 10 --flip a|avoid"; do
    got=$(offered "${line%|*}")
    [[ $got == "${line#*|}" ]] || { echo "'${line%|*}' completes to '$got'"; exit 1; }
done
