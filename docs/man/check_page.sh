#!/bin/sh
# Checks a manual page: groff renders it without a single warning, and every
# option of its program has a paragraph of its own.
#   check_page.sh PAGE help PROGRAM   options from the words of PROGRAM --help
#   check_page.sh PAGE getopt SOURCE  options from the getopt string in SOURCE
set -u
page=$1 kind=$2 from=$3

warnings=$(groff -ww -z -man "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "$page: groff warns: $warnings"
  exit 1
fi

if [ "$kind" = help ]; then
  options=$("$from" --help | grep -oE '(^|[][ ,|])--?[a-zA-Z][a-zA-Z-]*' | sed 's/^[][ ,|]//' | sort -u)
else
  letters=$(grep -oE 'getopt\(argc, argv, "[^"]*"' "$from" | sed 's/.*"\(.*\)"/\1/' | tr -d ':')
  options=$(printf '%s' "$letters" | sed 's/./-& /g')
fi
[ -n "$options" ] || { echo "no options found in $from"; exit 1; }

status=0
for option in $options; do
  escaped=$(printf '%s' "$option" | sed 's/-/\\-/g')
  # A line of .B, .BI or .BR naming the option as a word of its own.
  if ! grep -qE "^\.(B|BI|BR) (.*[ \"])?$(printf '%s' "$escaped" | sed 's/\\/\\\\/g')([ ,\"]|$)" "$page"; then
    echo "$page does not document $option"
    status=1
  fi
done
exit $status
