#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer (or of a folder
# beside its own). The layers, lowest first:
#
#   model → link → acquisition, workbook → views → jobs → service → shell, cli
#
# service/ holds the utilities' plain core and their dialogs; the window's
# menu and the command line both use them.
#
# sim/ stands apart: it may use the model and the port names of link/, never
# the decoding (acquisition/, views/) it checks. tests/ and bench/ may include
# anything. Usage: scripts/check-layers.sh [ROOT] (default: the repository).
set -euo pipefail
root=${1:-"$(cd "$(dirname "$0")/.." && pwd)"}
cd "$root"

# What each folder may include besides itself.
declare -A allowed=(
    [model]=""
    [link]="model"
    [acquisition]="model link"
    [workbook]="model link"
    [views]="model link acquisition workbook"
    [jobs]="model link acquisition workbook views"
    [shell]="model link acquisition workbook views jobs service"
    [service]="model link acquisition workbook views jobs"
    [cli]="model link acquisition workbook views jobs service"
    [sim]="model link"
)

status=0
for folder in "${!allowed[@]}"; do
    [[ -d $folder ]] || continue
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*"([a-z0-9_]+)\/.*/\1/' <<<"${rest#*:}")
        [[ $target == "$folder" ]] && continue
        # Only the project's own folders are layers; other quoted includes pass.
        [[ -v allowed[$target] ]] || continue
        if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
            echo "$file:$line: $folder/ includes $target/ (a higher or a neighbouring layer)"
            status=1
        fi
    done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z0-9_]+/' "$folder" || true)
done
if [[ $status == 0 ]]; then
    echo "layers: no include runs up a layer"
fi
exit $status
