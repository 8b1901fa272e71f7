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
echo "layers: no Qt below the window's layers, no include runs back up"
