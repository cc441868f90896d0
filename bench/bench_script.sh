# bench_script.sh: what the benchmark run scripts share: gnuplot for the plots, the build of one
# benchmark program, and the findings written by hand at the end of a results file, which a rerun
# keeps. Sourced by bench/*/run.sh from the repository's top folder.

# Installs gnuplot if it is missing (a benchmark need, not a build or test need).
bench_ensure_gnuplot() {
  command -v gnuplot >/dev/null && return
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends gnuplot-nox
}

# Configures build/ if it is not yet and builds the benchmark target $1.
bench_build() {
  [ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$(nproc)" --target "$1"
}

# Copies the hand-written end of results file $1, from the line $2 on, into a new temporary file
# and prints that file's name (empty when $1 or the line is missing); the caller removes it.
bench_keep_findings() {
  local file=$1 marker=$2 kept line
  kept=$(mktemp)
  if [ -f "$file" ] && line=$(grep -n -m1 -F -x "$marker" "$file"); then
    tail -n +"${line%%:*}" "$file" > "$kept"
  fi
  echo "$kept"
}

# Writes one section of results file $1, which other run scripts share: the text of file $2 goes
# between the marker lines $3 and $4, and after it the hand-written findings the section held, from
# its line $5 to the end marker, which a rerun keeps. A missing file is created with the heading
# $6, missing markers are added at its end; everything outside the markers stays as it is.
bench_write_section() {
  local file=$1 body=$2 begin=$3 end=$4 kept_marker=$5 title=$6 kept
  [ -f "$file" ] || printf '# %s\n' "$title" > "$file"
  grep -q -F -x "$begin" "$file" || printf '\n%s\n%s\n' "$begin" "$end" >> "$file"
  kept=$(mktemp)
  awk -v b="$begin" -v e="$end" -v k="$kept_marker" '
    $0 == b { inside = 1; next }
    $0 == e { inside = 0; keep = 0; next }
    inside && $0 == k { keep = 1 }
    inside && keep { print }
  ' "$file" > "$kept"
  awk -v b="$begin" -v e="$end" -v f="$body" -v kf="$kept" '
    $0 == b {
      print
      while ((getline line < f) > 0) print line
      for (first = 1; (getline line < kf) > 0; first = 0) { if (first) print ""; print line }
      skip = 1
      next
    }
    $0 == e { skip = 0 }
    !skip { print }
  ' "$file" > "$file.new"
  mv "$file.new" "$file"
  rm -f "$kept"
}

# Prints which modem a physical-layer measurement ran on: the commit, whether src/phy had
# uncommitted changes, and the date.
bench_receiver_provenance() {
  local text
  text="commit $(git rev-parse --short HEAD)"
  git diff --quiet HEAD -- src/phy || text+=" with uncommitted changes under src/phy"
  echo "$text, $(date -u '+%Y-%m-%d %H:%M UTC')"
}
