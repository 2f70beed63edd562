#!/bin/sh
# Shows the notes file that came with the demo installer.
exec cat "$(dirname "$0")/notes.txt"
