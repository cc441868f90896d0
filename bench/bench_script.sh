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
