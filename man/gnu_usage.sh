#!/bin/sh
# help2man runs this in place of the program named by QM_PROGRAM. It passes the program's output
# on with lowercase usage lines written the GNU way, "Usage:" and then "  or:" before each
# further one, which is how help2man finds the synopsis; other output passes unchanged.
"$QM_PROGRAM" "$@" | sed '/^usage:/{
s/^usage:/Usage:/
:next
n
s/^ \{2,\}\([^ ]\)/  or: \1/
t next
}'
