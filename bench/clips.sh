# shellcheck shell=bash disable=SC2154  # $work comes from lw_workdir
# The natural clips of bench/clip.sh, drawn here and kept as PNG frames (0000.png ...), one
# folder per clip in $clips. Source it after lib.sh and lw_workdir; `lw_clips PROGRAM` draws what
# is missing and fills `clip_dirs`. Nothing is downloaded: the pictures are composed with
# ImageMagick, moved with FFmpeg, and the screen is the program's own window recorded off screen.

clips="${LW_BENCH_CLIPS:-$lw_root/build/bench-clips}"

# Makes $clips/$1/ with draw_$1 (given the folder to fill) unless it is already complete.
clip_cached() {
  [ -e "$clips/$1/complete" ] && return
  echo "Drawing the clip $1 in $clips ..." >&2
  rm -rf "${clips:?}/$1" "${clips:?}/$1.part" && mkdir -p "$clips/$1.part"
  "draw_$1" "$clips/$1.part"
  touch "$clips/$1.part/complete"
  mv "$clips/$1.part" "$clips/$1"
}

# A photograph-like landscape of $1 x $2 pixels drawn from seed $3 into $4: a sky with soft
# clouds, hazy far hills, textured and lit near hills, a lens's vignette and a sensor's grain.
# Big pictures take ImageMagick most of a minute.
landscape() {
  local W=$1 H=$2 S=$3 out=$4 t="$work/land"
  local w4=$((W / 4)) h4=$((H / 4))
  mkdir -p "$t"
  grey_plasma() {
    convert -seed "$1" -size "$2" plasma:grey50-grey50 -colorspace gray -auto-level "${@:3}"
  }
  # A hill line: a 1-D fractal height per column, white below it.
  ridge() {  # seed out blur top% bottom%
    grey_plasma "$1" "${W}x16" -blur "0x$3" -crop "${W}x1+0+8" +repage -auto-level \
      +level "$4%,$5%" -scale "${W}x${H}!" \( -size "${W}x${H}" gradient:black-white \) \
      -compose minus_dst -composite -threshold 0 -blur 0x1.5 -depth 8 "$2"
  }
  grey_plasma "$S" "${w4}x${h4}" -blur 0x6 -level 45%,75% -resize "${W}x${H}!" -blur 0x2 \
    -depth 8 "$t/clouds.miff"
  convert -size "${W}x${H}" gradient:'#1f4f9a-#dbe8f0' \( -size "${W}x${H}" xc:'#f6f2ea' \) \
    "$t/clouds.miff" -composite -depth 8 "$t/sky.miff"
  ridge $((S + 1)) "$t/far.miff" $((W / 200)) 36 50
  ridge $((S + 2)) "$t/near.miff" $((W / 400)) 52 70
  grey_plasma $((S + 3)) "${w4}x${h4}" -blur 0x4 \( -size 1x256 gradient:'#5a7392-#b8c8d6' \) \
    -clut -resize "${W}x${H}!" -depth 8 "$t/farc.miff"
  grey_plasma $((S + 4)) "${w4}x${h4}" -blur 0x3 \( -size 1x256 gradient:'#2e4420-#c8b070' \) \
    -clut -resize "${W}x${H}!" \( -seed $((S + 6)) -size "${w4}x${h4}" plasma:fractal \
    -modulate 100,35 -blur 0x8 -resize "${W}x${H}!" \) -compose overlay -composite \
    \( -seed $((S + 5)) -size "${W}x${H}" plasma:grey50-grey50 -colorspace gray \
    -blur "0x$((W / 1200 + 1))" -shade 135x35 -auto-level \) -compose softlight -composite \
    -depth 8 "$t/nearc.miff"
  convert "$t/sky.miff" "$t/farc.miff" "$t/far.miff" -composite "$t/nearc.miff" "$t/near.miff" \
    -composite \( -size "${W}x${H}" radial-gradient:white-'#8a8a8a' \) -compose multiply \
    -composite -attenuate 0.25 +noise Gaussian -depth 8 "$out"
  rm -rf "$t"
}

# A camera's light grain, new in every frame.
grain='format=gbrp,noise=alls=2:allf=t,format=rgb24'

# A slow pan across an 8 Mpx landscape with a hand's slight sway: the window moves 26.3 pixels
# of the picture (8.2 of the clip's) a frame, so every frame is resampled at a new sub-pixel.
draw_photo-pan() {
  landscape 3840 2160 21 "$work/pan.png"
  ffmpeg -v error -y -i "$work/pan.png" -vf "loop=loop=79:size=1:start=0,setpts=N/20/TB,
    crop=w=1536:h=864:x='120+n*26.3':y='1000+60*sin(n/11)':exact=1,
    scale=480:270:flags=lanczos+accurate_rnd+full_chroma_int,$grain" \
    -fps_mode passthrough -frames:v 80 -start_number 0 "$1/%04d.png"
}

# A slow zoom (1 to 1.6 times) into an 8 Mpx upright print, towards a point near the hills.
draw_print-zoom() {
  landscape 2448 3264 57 "$work/print.png"
  ffmpeg -v error -y -i "$work/print.png" -vf "zoompan=z='1+0.6*on/59':d=60:s=360x480:fps=20:
    x='(iw-iw/zoom)*0.62':y='(ih-ih/zoom)*0.55',$grain" \
    -fps_mode passthrough -frames:v 60 -start_number 0 "$1/%04d.png"
}

# The program's window recorded by FFmpeg's x11grab at 12 frames a second on a private X
# display with a window manager and a photograph for wallpaper, while xdotool opens menus,
# walks the frame strip and scrolls it.
draw_screen-recording() {
  local program=$clip_program size=1024x768
  landscape 1024 768 33 "$work/wallpaper.png"
  cat >"$work/session.sh" <<'SESSION'
set -u
program=$1 video=$2 size=$3 work=$4
display -window root "$work/wallpaper.png"
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
XDG_CONFIG_HOME="$work/session-config" HOME="$work/session-home" \
  "$program" "$(dirname "$0")/sample.gif" >/dev/null 2>&1 &
app=$!
for _ in $(seq 1 80); do
  sleep 0.25
  xdotool search --onlyvisible --name Loopwright >/dev/null 2>&1 && break
done
sleep 1
window=$(xdotool search --onlyvisible --name Loopwright | head -1)
xdotool windowmove "$window" 24 24 windowsize "$window" 720 560
preview=$(xdotool search --onlyvisible --name "Aperçu" | head -1)
[ -n "$preview" ] && xdotool windowmove "$preview" 640 420
sleep 1
ffmpeg -v error -y -f x11grab -framerate 12 -video_size "$size" -draw_mouse 1 -i "$DISPLAY" \
  -frames:v 100 -c:v ffv1 "$video" &
grab=$!
# The pointer slides as a hand moves it; coordinates are in the main window.
at_x=600 at_y=400
glide() {  # x y steps
  local i
  for ((i = 1; i <= $3; i++)); do
    xdotool mousemove --window "$window" $((at_x + ($1 - at_x) * i / $3)) \
      $((at_y + ($2 - at_y) * i / $3))
    sleep 0.03
  done
  at_x=$1 at_y=$2
}
glide 28 12 14
xdotool click 1; sleep 0.5
glide 76 12 5; sleep 0.4
glide 132 12 5; sleep 0.4
glide 200 12 5; sleep 0.4
glide 274 12 5; sleep 0.5
xdotool key Escape; sleep 0.2
glide 100 165 10
for _ in 1 2 3 4 5 6; do xdotool click 1 key Right; sleep 0.2; done
glide 300 300 8
for _ in 1 2 3 4 5 6 7 8; do xdotool click 5; sleep 0.12; done
for _ in 1 2 3 4; do xdotool click 4; sleep 0.12; done
glide 480 290 8
xdotool click 3; sleep 0.8
xdotool key Escape
glide 700 500 10
wait $grab
kill $app $wm 2>/dev/null
wait $app $wm 2>/dev/null
SESSION
  cp "$lw_root/share/exemples/balle.gif" "$work/sample.gif"
  mkdir -p "$work/session-config" "$work/session-home"
  timeout 300 xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" \
    bash "$work/session.sh" "$program" "$work/screen.mkv" "$size" "$work"
  ffmpeg -v error -y -i "$work/screen.mkv" -pix_fmt rgb24 -fps_mode passthrough -frames:v 100 \
    -start_number 0 "$1/%04d.png"
}

# A code editor as a screen recorder sees it, 80 frames of 640x360: a dark theme with a line
# number gutter and a lit current line, 40 frames typing a function (the lines appear a few
# characters a frame behind a cursor), then 40 frames scrolling the file smoothly, 9 pixels a
# frame. The text is the program's own source, drawn once with DejaVu Sans Mono.
# Every frame is written as 24-bit PNG: FFmpeg refuses a sequence whose PNG types change.
draw_screen-text() {
  local W=640 H=360 lh=17 cw t="$work/editor"
  mkdir -p "$t"
  sed -n '1,150p' "$lw_root/src/colour/lossy.cpp" | expand -t 2 | cut -c1-70 >"$t/source.txt"
  seq -w 1 "$(wc -l <"$t/source.txt")" | sed 's/^0/ /; s/^ 0/  /' >"$t/numbers.txt"
  local lines
  lines=$(wc -l <"$t/source.txt")
  local page=$((lines * lh + H))
  # One tall page: gutter, text; each frame shows part of it. (The policy refuses @file text.)
  convert -size "${W}x${page}" xc:'#1e1f24' \
    -fill '#26282f' -draw "rectangle 0,0 44,$page" \
    -font DejaVu-Sans-Mono -pointsize 12 -interline-spacing 2 \
    -fill '#6b7080' -annotate +4+14 "$(sed 's/%/%%/g' "$t/numbers.txt")" \
    -fill '#cfd3dc' -annotate +52+14 "$(sed 's/%/%%/g' "$t/source.txt")" \
    -depth 8 "$t/page.png"
  cw=$(convert -font DejaVu-Sans-Mono -pointsize 12 label:MMMMMMMMMM -format '%[fx:w/10]' info:)
  local f=0 line col y x
  # Typing: line L of the first screen gets up to 6 more characters a frame.
  local typed=0
  for ((f = 0; f < 40; f++)); do
    typed=$((typed + 3 + (f * 7) % 5))
    line=0 col=$typed
    while ((line < lines)); do
      local len
      len=$(sed -n "$((line + 1))p" "$t/source.txt" | wc -L)
      ((col <= len)) && break
      col=$((col - len - 1))
      line=$((line + 1))
    done
    y=$((line * lh + 2))
    x=$(awk -v c="$col" -v w="$cw" 'BEGIN { printf "%d", 52 + c * w }')
    convert "$t/page.png" -crop "${W}x${H}+0+0" +repage \
      -fill '#1e1f24' -draw "rectangle $x,$y $W,$((y + lh - 1))" \
      -draw "rectangle 45,$((y + lh)) $W,$H" \
      -fill '#26282f' -draw "rectangle 0,$((y + lh)) 44,$H" \
      -fill '#f0c040' -draw "rectangle $x,$((y + 1)) $((x + 1)),$((y + lh - 2))" \
      -depth 8 "PNG24:$(printf '%s/%04d.png' "$1" "$f")"
  done
  for ((f = 40; f < 80; f++)); do
    convert "$t/page.png" -crop "${W}x${H}+0+$(((f - 40) * 9))" +repage -depth 8 \
      "PNG24:$(printf '%s/%04d.png' "$1" "$f")"
  done
  rm -rf "$t"
}

lw_clips() {
  clip_program=$1
  local names name
  read -ra names <<<"${LW_CLIP_ONLY:-photo-pan print-zoom screen-text}"
  clip_dirs=()
  mkdir -p "$clips"
  for name in "${names[@]}"; do
    clip_cached "$name"
    clip_dirs+=("$clips/$name")
  done
}
