# The corpus the bench scripts share: a small one drawn with ImageMagick and FFmpeg plus the
# program's samples, and a real-size one. Source it after lib.sh and lw_workdir (drawing uses
# $work); then `lw_corpus` draws what is missing in $cache and fills `files` with size=path
# entries and `tiny` with the start-up file. LW_BENCH_REAL=0 leaves the real-size corpus out.

cache="${LW_BENCH_CORPUS:-$lw_root/build/bench-corpus}"
mkdir -p "$cache"

# Makes $cache/$1.gif with draw_$1 (given the file to write) unless it is already there.
cached() {
  [ -s "$cache/$1.gif" ] && return
  echo "Drawing $1 in $cache ..." >&2
  "draw_$1" "$work/$1.gif"
  mv "$work/$1.gif" "$cache/$1.gif"
}

# Draws count frames with draw_frame (given the frame number), then joins them over one common
# palette (+remap) as a full-frame animation.
im_frames() {  # out count
  local frames="$work/frames" i
  rm -rf "$frames" && mkdir -p "$frames"
  for ((i = 0; i < $2; i++)); do draw_frame "$i" "$(printf '%s/%04d.png' "$frames" "$i")"; done
  convert -delay 8 -loop 0 "$frames"/*.png +dither +remap "$1"
}
# FFmpeg's input made into a GIF over one palette of its own (two passes: nothing is held).
ff_gif() {  # out palettegen-options paletteuse-options input...
  local out=$1 gen=$2 use=$3
  shift 3
  ffmpeg -v error -y "$@" -vf "palettegen=$gen" "$work/palette.png"
  ffmpeg -v error -y "$@" -i "$work/palette.png" -lavfi "paletteuse=$use" -f gif "$out"
}

# ---------------------------------------------------------------------------------------------
# The small corpus: every frame a full picture (what editors and converters write), plus a few
# already optimized files.
draw_sprite() {
  draw_frame() {
    local x=$((20 + $1 * 7)) y=$((75 + ($1 % 6) * 5))
    convert -size 200x150 xc:'#3060a0' +antialias -fill '#f0d020' \
      -draw "circle $x,$y $((x + 12)),$y" "$2"
  }
  im_frames "$1" 24
}
draw_sprites-gradient() {
  draw_frame() {
    convert -size 240x160 gradient:'#102040-#80c0ff' +antialias -fill red \
      -draw "rectangle $((10 + $1 * 9)),40 $((40 + $1 * 9)),70" -fill white \
      -draw "circle 120,$((20 + $1 * 6)) 130,$((20 + $1 * 6))" "$2"
  }
  im_frames "$1" 20
}
draw_scroll-bricks() {
  draw_frame() {
    convert -size 300x60 pattern:bricks -fill '#208040' -draw "rectangle 0,20 300,40" \
      -roll +$(($1 * 6))+0 "$2"
  }
  im_frames "$1" 30
}
draw_plasma-blink() {
  draw_frame() {
    convert -seed 7 -size 160x120 plasma:fractal +antialias -fill black \
      -draw "rectangle $((($1 % 4) * 40)),0 $((($1 % 4) * 40 + 10)),10" "$2"
  }
  im_frames "$1" 12
}
draw_spin-transparent() {
  convert -size 120x120 xc:none -fill '#c04040' -draw 'circle 60,60 60,10' \
    -duplicate 11 -distort SRT '%[fx:t*30]' -set delay 6 -set dispose background -loop 0 "$1"
}
draw_sprite-preoptimized() {
  cached sprite
  convert "$cache/sprite.gif" -layers OptimizeFrame "$1"
}
ff_small() {  # out source split-filter
  ffmpeg -v error -y -t 4 -f lavfi -i "$2" -vf "$3" -f gif "$1"
}
draw_life() {
  ff_small "$1" 'life=s=240x180:mold=10:r=12:ratio=0.1:death_color=#C83232:life_color=#00ff00' \
    'split[a][b];[a]palettegen=max_colors=32[p];[b][p]paletteuse=dither=none'
}
draw_testsrc() {
  ff_small "$1" 'testsrc=s=240x180:r=10' 'split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=none'
}
draw_mandelbrot-dither() {
  ff_small "$1" 'mandelbrot=s=240x180:r=10' \
    'split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=bayer'
}
draw_cellauto() {
  ff_small "$1" 'cellauto=s=240x180:rule=110:r=15' \
    'split[a][b];[a]palettegen=max_colors=4[p];[b][p]paletteuse'
}
# One palette per frame: the meta-palette case.
draw_testsrc-local() {
  ff_small "$1" 'testsrc=s=160x120:r=8' \
    'split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1:dither=none'
}
draw_mandelbrot-local() {
  ff_small "$1" 'mandelbrot=s=128x96:r=8' \
    'split[a][b];[a]palettegen=stats_mode=single:max_colors=64[p];[b][p]paletteuse=new=1:dither=none'
}
draw_tiny() {
  convert -size 8x8 xc:red xc:blue -set delay 10 -loop 0 "$1"
}

# ---------------------------------------------------------------------------------------------
# The real-size corpus.
draw_testsrc2-600() {
  ff_gif "$1" stats_mode=diff diff_mode=rectangle -f lavfi -i 'testsrc2=s=640x480:r=25:d=24'
}
draw_mandelbrot-zoom() {
  ffmpeg -v error -y -f lavfi -i \
    'mandelbrot=s=800x600:r=25:maxiter=200:end_pts=12:end_scale=0.3,trim=end_frame=300' \
    -c:v ffv1 "$work/zoom.mkv"
  ff_gif "$1" stats_mode=full dither=none -i "$work/zoom.mkv"
}
# A typist in a window over a still desktop, the pointer wandering: small changes per frame.
draw_screen-typing() {
  local text="Le renard brun rapide saute par-dessus le chien paresseux, puis repart."
  convert -size 1024x768 gradient:'#1d4e89-#5a8bd5' +antialias \
    -fill '#202020' -draw 'rectangle 0,736 1023,767' -fill '#e0e0e0' \
    -draw 'rectangle 8,742 90,762' -draw 'rectangle 20,20 68,68' -draw 'rectangle 20,100 68,148' \
    -fill '#f8f8f8' -stroke '#808080' -draw 'rectangle 180,100 900,600' -stroke none \
    -fill '#3c3c3c' -draw 'rectangle 181,101 899,130' -fill white \
    -font DejaVu-Sans -pointsize 14 -annotate +195+121 'Sans titre - Éditeur de texte' \
    "$work/desktop.png"
  convert -size 700x44 xc:none -font DejaVu-Sans-Mono -pointsize 14 -fill black \
    -annotate +0+15 "$text" -annotate +0+37 "${text/rapide/lent}" "$work/text.png"
  convert -size 16x24 xc:none -fill black -stroke white \
    -draw 'polygon 1,1 1,19 5,15 9,23 12,22 8,14 14,14' "$work/pointer.png"
  # Five characters a second; the cursor blinks; the pointer follows a slow curve.
  local col='9*floor(mod(n,160)/2)' line='if(lt(n,160),0,22)'
  ffmpeg -v error -y -loop 1 -framerate 10 -i "$work/desktop.png" \
    -loop 1 -framerate 10 -i "$work/text.png" -loop 1 -framerate 10 -i "$work/pointer.png" \
    -f lavfi -i 'color=c=#f8f8f8:s=700x22:r=10' \
    -f lavfi -i 'color=c=black:s=2x18:r=10' -filter_complex "
      [3]split[c1][c2];
      [1][c1]overlay=x='if(lt(n,160),$col,9000)':y=0:format=rgb[t1];
      [t1][c2]overlay=x='if(lt(n,160),0,$col)':y=22:format=rgb[t];
      [0][t]overlay=200:140:format=rgb[a];
      [a][4]overlay=x='200+$col':y='142+$line':enable='lt(mod(n,10),5)':format=rgb[b];
      [b][2]overlay=x='500+300*sin(n/40)':y='400+150*sin(n/27)':format=rgb" \
    -frames:v 320 -c:v ffv1 "$work/screen.mkv"
  ff_gif "$1" max_colors=128 dither=none -i "$work/screen.mkv"
}
# Sprites over a partly transparent backdrop, over one palette, by runs of 100 frames: each run
# starts from a full backdrop; its sprites are then taken back (previous), cleared (background)
# or left (none).
draw_sprites-1000() {
  convert -size 320x240 xc:none -fill '#306030' -draw 'rectangle 0,160 319,239' \
    -fill '#a0a0a0' -draw 'rectangle 40,60 120,159' -draw 'rectangle 200,90 280,159' \
    "$work/backdrop.png"
  convert -size 20x20 xc:none -fill '#f0d020' -draw 'circle 10,10 10,1' "$work/ball.png"
  convert -size 20x20 xc:none -fill '#c03030' -draw 'polygon 10,0 20,20 0,20' "$work/spike.png"
  convert "$work/backdrop.png" "$work/ball.png" "$work/spike.png" +remap "$work/parts.gif"
  local args=() disposes=(previous background none) i x y
  for ((i = 0; i < 1000; i++)); do
    if ((i % 100 == 0)); then
      args+=(-D none -p 0,0 "$work/parts.gif" '#0')
      continue
    fi
    x=$(((i * 7) % 300)) y=$((((i * 5) % 440) < 220 ? (i * 5) % 220 : 219 - (i * 5) % 220))
    args+=(-D "${disposes[$(((i / 100) % 3))]}" -p "$x,$y" "$work/parts.gif" "#$((1 + i % 2))")
  done
  # gifsicle only assembles the frames as given: ImageMagick takes minutes to write them.
  gifsicle --logical-screen 320x240 -d 4 -l "${args[@]}" >"$1"
}

lw_corpus() {
  small=(sprite sprites-gradient scroll-bricks plasma-blink spin-transparent sprite-preoptimized
    life testsrc mandelbrot-dither cellauto testsrc-local mandelbrot-local)
  real=(testsrc2-600 mandelbrot-zoom screen-typing sprites-1000)
  [ "${LW_BENCH_REAL:-1}" = 0 ] && real=()
  files=()
  for name in tiny "${small[@]}"; do cached "$name"; done
  for name in "${small[@]}"; do files+=("small=$cache/$name.gif"); done
  for f in "$lw_root"/share/exemples/*.gif; do files+=("small=$f"); done
  for name in "${real[@]}"; do cached "$name"; files+=("real=$cache/$name.gif"); done
  tiny="$cache/tiny.gif"
}
