#!/usr/bin/env bash
# The whole job, process start included, against the general image tools, side by side in one
# hyperfine run. `vornetad-cli compose --gif` decodes the template, composes three lines, quantizes
# and encodes; ImageMagick, GraphicsMagick and a Pillow script only convert the PNG of the same
# banner (made with `compose --png`) to a 256-colour GIF. Prints the medians and their ratios.
#
#   bench/peers.sh [RUNS]      at most RUNS per command (within about 3 s each), default 40
#
# Installs its peers with apt-get when they are missing. A benchmark, not part of ./run-tests.
# Environment: PEERS_KEEP=DIR keeps inputs, outputs and hyperfine's JSON in DIR; PEERS_CLI=PATH
# measures another build of vornetad-cli in place of build/dev's; PEERS_BASELINE=PATH adds rows
# for a second build (an older one, say) to the same run.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-40}

# Pillow lives in Debian's own Python, whatever python3 comes first on the path.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
imagemagick() { command -v convert-im6.q16 || command -v /usr/bin/convert; }

missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
imagemagick >/dev/null || missing+=(imagemagick)
command -v gm >/dev/null || missing+=(graphicsmagick)
"$python" -c 'import PIL' 2>/dev/null || missing+=(python3-pil)
if ((${#missing[@]})); then
    echo "peers.sh: installing ${missing[*]}" >&2
    sudo=()
    ((EUID == 0)) || sudo=(sudo)
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi
im=$(imagemagick)

cd "$root"
cmake --preset dev >/dev/null
cmake --build --preset dev --target vornetad-cli peer-inputs >/dev/null
cli=${PEERS_CLI:-$root/build/dev/bin/vornetad-cli}
tool=$root/build/dev/bin/peer-inputs

if [[ -n ${PEERS_KEEP:-} ]]; then
    work=$PEERS_KEEP
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    mkdir -m 700 "$work/runtime" 2>/dev/null || chmod 700 "$work/runtime"
    export XDG_RUNTIME_DIR=$work/runtime
fi
export QT_QPA_PLATFORM=offscreen
"$tool" templates "$work"
cat >"$work/pillow.py" <<'EOF'
import sys
from PIL import Image
Image.open(sys.argv[1]).quantize(256, method=Image.Quantize.FASTOCTREE).save(sys.argv[2])
EOF

# name and template; the banner is 500 px with three lines, as a user would make it.
inputs=(shipped "$root/data/vornets/winter.gif" photo "$work/photo.gif" uncompressed "$work/raw.gif")
bannerArgs=(--size 500 --line1 "Summer sale" --line2 "Everything must go" --line3 "Ends on Sunday")
banner="--size 500 --line1 'Summer sale' --line2 'Everything must go' --line3 'Ends on Sunday'"  # for hyperfine
commands=()
for ((i = 0; i < ${#inputs[@]}; i += 2)); do
    name=${inputs[i]} template=${inputs[i + 1]}
    "$cli" compose --template "$template" "${bannerArgs[@]}" --png "$work/$name-banner.png"
    commands+=(-n "$name|vornetad-cli compose --gif" "$cli compose --template $template $banner --gif $work/$name-cli.gif")
    if [[ -n ${PEERS_BASELINE:-} ]]; then
        commands+=(-n "$name|baseline compose --gif" \
            "$PEERS_BASELINE compose --template $template $banner --gif $work/$name-baseline.gif")
    fi
    if [[ $name == shipped ]]; then
        # The least any drawing run costs: Qt Gui loaded, a GUI application made, one font matched.
        commands+=(-n "$name|vornetad-cli compose --gif, 50 px and one letter (the floor)" \
            "$cli compose --template $template --size 50 --line1 a --gif $work/$name-floor.gif")
    fi
    png=$work/$name-banner.png
    commands+=(-n "$name|ImageMagick convert" "$im $png +dither -colors 256 $work/$name-im.gif")
    commands+=(-n "$name|GraphicsMagick gm convert" "gm convert $png +dither -colors 256 $work/$name-gm.gif")
    commands+=(-n "$name|Pillow FASTOCTREE" "$python $work/pillow.py $png $work/$name-pil.gif")
done
# A GIF template holds 256 colours, so a banner of many more exists only as a PNG: there our engine
# runs in the small helper, which reads the PNG and writes the GIF as SaveAsGif() does.
commands+=(-n "photo-png|peer-inputs gif (our quantizer and writer)" "$tool gif $work/photo.png $work/photo-png-ours.gif")
commands+=(-n "photo-png|ImageMagick convert" "$im $work/photo.png +dither -colors 256 $work/photo-png-im.gif")
commands+=(-n "photo-png|GraphicsMagick gm convert" "gm convert $work/photo.png +dither -colors 256 $work/photo-png-gm.gif")
commands+=(-n "photo-png|Pillow FASTOCTREE" "$python $work/pillow.py $work/photo.png $work/photo-png-pil.gif")
commands+=(-n "start|vornetad-cli --help" "$cli --help")
commands+=(-n "start|vornetad-cli --version" "$cli --version")
commands+=(-n "start|vornetad-cli code" "$cli code --template ${inputs[1]}")

loadBefore=$(cut -d' ' -f1 /proc/loadavg)
echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
# A peer that needs seconds for one conversion (GraphicsMagick on many colours) is run 3 times.
# Our GIFs go before every run: a file that already holds what a run writes is left as it is, and
# the write and its flush to the disk are part of the job.
ours=()
for ((i = 0; i < ${#inputs[@]}; i += 2)); do
    ours+=("$work/${inputs[i]}-cli.gif" "$work/${inputs[i]}-baseline.gif")
done
ours+=("$work/shipped-floor.gif" "$work/photo-png-ours.gif")
hyperfine -N --style none --warmup 2 --min-runs 3 --max-runs "$runs" --export-json "$work/peers.json" \
    --prepare "rm -f ${ours[*]}" "${commands[@]}" >/dev/null 2>&1

# The uncompressed template decodes to the shipped one's pixels, so the GIFs must be equal (made
# again: the last run's were removed before the runs after it).
for name in shipped uncompressed; do
    [[ $name == shipped ]] && template=$root/data/vornets/winter.gif || template=$work/raw.gif
    "$cli" compose --template "$template" "${bannerArgs[@]}" --gif "$work/$name-cli.gif"
done
cmp -s "$work/shipped-cli.gif" "$work/uncompressed-cli.gif" || echo "warning: the uncompressed template gave other bytes" >&2

"$python" - "$work/peers.json" "$tool" "$work" "$loadBefore" <<'EOF'
import json, os, subprocess, sys
results = json.load(open(sys.argv[1]))["results"]
tool, work = sys.argv[2], sys.argv[3]
# ImageMagick runs on every core, so other work slows it more than ours and flatters the ratios.
if float(sys.argv[4]) > 0.5 * (os.cpu_count() or 1):
    print(f"warning: load {sys.argv[4]} before the run; the ratios to ImageMagick are not to be trusted")
groups = {}
for r in results:
    group, command = r["command"].split("|", 1)
    groups.setdefault(group, []).append((command, r["median"] * 1000, (r["user"] + r["system"]) * 1000))
print("load after the run: " + " ".join(open("/proc/loadavg").read().split()[:3]))
for group, rows in groups.items():
    if group == "start":
        print("\nstart-up (target: under 4 ms)")
        print("| command | median | user+sys |\n|---|---|---|")
        for command, median, cpu in rows:
            print(f"| `{command}` | {median:.1f} ms | {cpu:.1f} ms |")
        continue
    png = f"{work}/photo.png" if group == "photo-png" else f"{work}/{group}-banner.png"
    colours = subprocess.run([tool, "colours", png], capture_output=True, text=True).stdout.strip()
    reference = next(median for command, median, _ in rows if command.startswith("ImageMagick"))
    print(f"\n{group} ({colours} colours; target for ours: at most 0.6 x ImageMagick)")
    # On a busy machine the process time (user+sys) drifts less than the wall time.
    referenceCpu = next(cpu for command, _, cpu in rows if command.startswith("ImageMagick"))
    print("| command | median | user+sys | ratio to ImageMagick | user+sys ratio |\n|---|---|---|---|---|")
    for command, median, cpu in rows:
        print(f"| `{command}` | {median:.1f} ms | {cpu:.1f} ms | {median / reference:.2f} | {cpu / referenceCpu:.2f} |")
EOF
