#!/usr/bin/env bash
# CPU time zolk-phy rx needs per second of audio: one file of COUNT transmissions (default 20,
# one frame each, 1 s gaps) per mode, decoded in single-mode reception and again in monitor mode
# (every mode searched at once). Run from the source folder after a build; modes as arguments
# (default 0 5 8 13).
set -euo pipefail
cd "$(dirname "$0")/../.."
zolk=build/bin/zolk-phy
count=${COUNT:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(0 5 8 13)

printf 'mode\taudio_s\tuser_s\tsys_s\tcpu_ms_per_audio_s\tframes_ok\n'
for mode in "${modes[@]}"; do
    audio=$("$zolk" tx --mode "$mode" --out "$work/tx.wav" --random --count "$count" --seed 9 | sed -n 's/.*(\(.*\) s)$/\1/p')
    for reception in "--mode $mode" "--monitor"; do
        # shellcheck disable=SC2086 # the reception options are two words
        /usr/bin/time -f '%U %S' -o "$work/time" "$zolk" rx $reception --in "$work/tx.wav" > "$work/rx.txt"
        read -r user sys < "$work/time"
        label=$mode
        [ "$reception" = "--monitor" ] && label="$mode monitor"
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$label" "$audio" "$user" "$sys" \
            "$(echo "scale=2; 1000 * ($user + $sys) / $audio" | bc)" "$(tail -1 "$work/rx.txt" | sed 's/frames_ok=//')"
    done
done
