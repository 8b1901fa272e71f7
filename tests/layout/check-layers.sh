#!/usr/bin/env bash
# The layers that the command-line tool, the simulator and the tests use without a window
# include no Qt header at all; only the gui/ folders of the link and the batch hold dialogs.
set -euo pipefail
root=${1:?usage: check-layers.sh SOURCE_DIR}
cd "$root"
found=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/[^>"]*)[>"]' \
    src/link src/batch src/settings src/procedures src/profile src/cli sim \
    --include='*.h' --include='*.cpp' | grep -vE '^src/(link|batch)/gui/' || true)
if [ -n "$found" ]; then
    echo "Qt included outside the window's layers:"
    echo "$found"
    exit 1
fi
# The pages see the procedures, never the other way round.
back=$(grep -rnE '#include "[A-Za-z]+Page\.h"|#include "(PropertySheet|TBPropertySheet|FileDialog|PageQuestions|MessageBox)\.h"' \
    src/procedures src/profile src/link src/batch src/settings src/cli || true)
if [ -n "$back" ]; then
    echo "An include runs back up from a lower layer:"
    echo "$back"
    exit 1
fi
# The tool's rooms: the output writes and knows no session or handler; the session knows the
# table of subcommands but no handler; only RunCli.cpp sits above them.
rooms_back=""
headers_of() { (cd "src/cli/$1" && ls *.h 2>/dev/null) | sed 's/[.]/[.]/g' | paste -sd'|'; }
session_headers=$(headers_of session)
handler_headers=$(headers_of subcommands | sed 's/|*Subcommands\[.\]h|*/|/; s/^|//; s/|$//')
if [ -n "$session_headers" ] && [ -n "$handler_headers" ]; then
    rooms_back=$(grep -rnE "#include \"(${session_headers}|${handler_headers}|Subcommands[.]h|RunCli[.]h)\"" src/cli/output || true)
    rooms_back+=$(grep -rnE "#include \"(${handler_headers}|RunCli[.]h)\"" src/cli/session || true)
    rooms_back+=$(grep -rnE "#include \"RunCli[.]h\"" src/cli/subcommands || true)
fi
if [ -n "$rooms_back" ]; then
    echo "An include runs back up between the tool's rooms:"
    echo "$rooms_back"
    exit 1
fi
echo "layers: no Qt below the window's layers, no include runs back up, the tool's rooms in order"
