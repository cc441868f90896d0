#!/usr/bin/env bash
# check_layers.sh [ROOT]: the core's layers point down only. Fails, naming file and line, when a
# file under src/ includes a header of a layer it may not use, when src/ includes Qt, or when a
# layer's library does not link every layer its files include (or links one it may not use).
# Runs in the test suite (ctest -R layering).
set -uo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2

# Each layer (a folder under src/) and the layers its files may include besides its own, lowest
# layers first. A new folder under src/ gets a line here, placed by what it may use.
declare -A allowed=(
    [ports]=""
    [phy/common]="ports"
    [phy/fec]="ports phy/common"
    [phy/rx]="ports phy/common phy/fec"
    [phy/tx]="ports phy/common phy/fec"
    [radio]="ports phy/common"
    [session]="ports phy/common phy/fec phy/rx phy/tx radio"
    [host]="ports phy/common"
    [app]="ports phy/common phy/fec phy/rx phy/tx radio session host"
    [sim]="ports phy/common phy/fec phy/rx phy/tx radio session host app"
)
# Ports the signal path may not reach: it returns its results as data, and the station decides
# what the window shows and which timers run.
declare -A forbidden=(
    [phy]=" ports/ui_sink.h ports/timer_port.h "
)
# Headers generated into the build tree, usable from every layer.
generated=" version.h "

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

# The layer of a path under src/ (without the src/ prefix), or nothing.
layerOf() {
    local path=$1 layer best=""
    for layer in "${!allowed[@]}"; do
        if [[ $path == "$layer"/* && ${#layer} -gt ${#best} ]]; then best=$layer; fi
    done
    printf '%s' "$best"
}

mayUse() {  # mayUse LAYER OTHER
    [[ $1 == "$2" || " ${allowed[$1]} " == *" $2 "* ]]
}

declare -A used=()  # "layer other" pairs seen in includes
while IFS= read -r file; do
    rel=${file#src/}
    layer=$(layerOf "$rel")
    [[ $rel != */* ]] && layer=ports  # src/version.h.in: beside the ports, usable by all
    if [[ -z $layer ]]; then
        fail "$file: src/$(dirname "$rel") has no layer: add it to scripts/check_layers.sh"
        continue
    fi
    while IFS=: read -r line text; do
        if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*)[/\>] ]]; then
            fail "$file:$line: the core includes Qt (<${BASH_REMATCH[1]}>); Qt belongs to shell/"
            continue
        fi
        [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
        header=${BASH_REMATCH[1]}
        [[ $generated == *" $header "* ]] && continue
        if [[ ${forbidden[${layer%%/*}]:-} == *" $header "* ]]; then
            fail "$file:$line: ${layer%%/*} includes $header, which it may not use"
            continue
        fi
        [[ -e $(dirname "$file")/$header && $header != */* ]] && continue  # beside the file
        other=$(layerOf "$header")
        if [[ -z $other ]]; then
            fail "$file:$line: includes \"$header\", which is in no layer under src/"
            continue
        fi
        if ! mayUse "$layer" "$other"; then
            fail "$file:$line: $layer includes $header, but $layer may use only: $layer ${allowed[$layer]}"
            continue
        fi
        [[ $other != "$layer" ]] && used["$layer $other"]=1
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.h.in' \) | sort)

# The library a layer's CMakeLists.txt declares first, and the libraries its link line names.
libraryOf() {
    sed -n 's/^[[:space:]]*add_library(\([A-Za-z0-9_]*\).*/\1/p' "src/$1/CMakeLists.txt" 2>/dev/null | head -n 1
}
linkedBy() {
    local lib=$1 layer=$2
    tr '\n' ' ' < "src/$layer/CMakeLists.txt" |
        grep -o "target_link_libraries([[:space:]]*$lib[[:space:]][^)]*)" |
        sed 's/target_link_libraries(//; s/)//; s/\bPUBLIC\b\|\bPRIVATE\b\|\bINTERFACE\b//g' | tr ' ' '\n' |
        grep -v "^$lib\$" | grep -v '^$'
}
declare -A layerOfLibrary=()
for layer in "${!allowed[@]}"; do
    lib=$(libraryOf "$layer")
    [[ -n $lib ]] && layerOfLibrary[$lib]=$layer
done
[[ -z ${layerOfLibrary[zolk_ports]:-} ]] && layerOfLibrary[zolk_ports]=ports  # declared in src/
for pair in "${!used[@]}"; do
    read -r layer other <<< "$pair"
    [[ -f src/$layer/CMakeLists.txt ]] || continue
    lib=$(libraryOf "$layer")
    otherLib=zolk_ports
    [[ $other != ports ]] && otherLib=$(libraryOf "$other")
    if ! linkedBy "$lib" "$layer" | grep -qx "$otherLib"; then
        fail "src/$layer/CMakeLists.txt: $lib includes $other but does not link $otherLib"
    fi
done
for layer in "${!allowed[@]}"; do
    [[ -f src/$layer/CMakeLists.txt ]] || continue
    lib=$(libraryOf "$layer")
    while IFS= read -r linked; do
        other=${layerOfLibrary[$linked]:-}
        [[ -z $other ]] && continue  # a system or imported library
        mayUse "$layer" "$other" ||
            fail "src/$layer/CMakeLists.txt: $lib links $linked, a layer it may not use"
    done < <(linkedBy "$lib" "$layer")
done

if ((failures > 0)); then
    echo "$failures layering fault(s)"
    exit 1
fi
echo "layers point down: every include and link line under src/ is allowed"
