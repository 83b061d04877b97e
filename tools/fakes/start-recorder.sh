#!/bin/sh
# Stand-in for an outside helper program (installed as "sandglass.exe" and "wakebell.exe").
# Every start appends one line to "<name>.log" in the working directory, the name being the
# program's file name without ".exe":  <time in ms> TAB <argument count> TAB <working dir>
name=$(basename "$0" .exe)
printf '%s\t%s\t%s\n' "$(date +%s%3N)" "$#" "$(pwd)" >>"$name.log"
exit 0
