#!/usr/bin/env bash
# Draws the demo skin's pictures with ImageMagick, into the skin's group
# folders beside the style sets that name them; the window's background
# carries a banner with the product's name and version:
#
#   draw_pictures.sh "<product name>" <version>
#
# The demo's pictures are committed, drawn by draw_pictures.sh "Demo Notes"
# 1.0; run that again after changing a colour or a shape here. A copy of the
# skin for another product is drawn with that product's name and version.
#
# Frames are cut from one whole picture: a three-slice set ("_left", "_mid",
# "_right") is stretched to a widget's height and repeated along its width,
# a nine-slice set ("_top_left" ... "_bottom_right") keeps its corners and
# repeats its edges and centre.
set -euo pipefail
if [ $# -ne 2 ] || [ -z "$1" ]; then
  echo "usage: $0 \"<product name>\" <version>   (the demo's: \"Demo Notes\" 1.0)" >&2
  exit 2
fi
PRODUCT=$1
VERSION=$2
cd "$(dirname "$0")"

INK='#1A2A3A'       # text and glyphs
NAVY='#17405F'      # the banner's top, titles
TEAL='#1E6E86'      # the banner's foot
BODY='#F6F8FA'      # the wizard's face
LINE='#AEB9C4'      # frames
BLUE='#2F74C0'      # what is chosen or under the pointer
ORANGE='#FF8A1C'    # the top band of the note pictured in the banner
GREEN='#2E8B57'
RED='#B83A3A'

# The rounded box every button state is drawn from: size, top and foot of
# its gradient, border colour.
box() {
  local out=$1 w=$2 h=$3 top=$4 foot=$5 border=$6
  convert -size "${w}x${h}" gradient:"$top-$foot" -alpha set \
    \( -size "${w}x${h}" xc:none -fill white -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) 6,6" \) \
    -compose DstIn -composite -compose Over \
    -fill none -stroke "$border" -strokewidth 1 \
    -draw "roundrectangle 0.5,0.5 $((w - 2)).5,$((h - 2)).5 6,6" "$out"
}

# Cuts a picture into "<name>_left", "_mid" and "_right": ends of e pixels,
# a middle of 2 pixels from its centre.
three_slice() {
  local name=$1 source=$2 e=$3 w
  w=$(identify -format %w "$source")
  convert "$source" -crop "${e}x+0+0" +repage "${name}_left.png"
  convert "$source" -crop "2x+$((w / 2))+0" +repage "${name}_mid.png"
  convert "$source" -crop "${e}x+$((w - e))+0" +repage "${name}_right.png"
}

# Cuts a picture into the nine parts of a frame with corners of c pixels.
nine_slice() {
  local name=$1 source=$2 c=$3 w h mw mh
  w=$(identify -format %w "$source")
  h=$(identify -format %h "$source")
  mw=$((w - 2 * c))
  mh=$((h - 2 * c))
  convert "$source" -crop "${c}x${c}+0+0" +repage "${name}_top_left.png"
  convert "$source" -crop "${mw}x${c}+${c}+0" +repage "${name}_top_mid.png"
  convert "$source" -crop "${c}x${c}+$((w - c))+0" +repage "${name}_top_right.png"
  convert "$source" -crop "${c}x${mh}+0+${c}" +repage "${name}_mid_left.png"
  convert "$source" -crop "${mw}x${mh}+${c}+${c}" +repage "${name}_mid_mid.png"
  convert "$source" -crop "${c}x${mh}+$((w - c))+${c}" +repage "${name}_mid_right.png"
  convert "$source" -crop "${c}x${c}+0+$((h - c))" +repage "${name}_bottom_left.png"
  convert "$source" -crop "${mw}x${c}+${c}+$((h - c))" +repage "${name}_bottom_mid.png"
  convert "$source" -crop "${c}x${c}+$((w - c))+$((h - c))" +repage "${name}_bottom_right.png"
}

whole=$(mktemp -d)
trap 'rm -rf "$whole"' EXIT

# The product's name in the banner: a word a line, made smaller until the
# widest word fits the banner; the version below it.
NAME_FONT=DejaVu-Sans-Bold
read -r -a name_words <<<"$PRODUCT"
name_size=24
widest() {
  local word width most=0
  for word in "${name_words[@]}"; do
    width=$(convert -font "$NAME_FONT" -pointsize "$name_size" label:"$word" -format %w info:)
    if [ "$width" -gt "$most" ]; then most=$width; fi
  done
  echo "$most"
}
while [ "$name_size" -gt 10 ] && [ "$(widest)" -gt 128 ]; do name_size=$((name_size - 1)); done
banner_text=(-fill '#FFFFFF' -font "$NAME_FONT" -pointsize "$name_size")
line_y=216
for word in "${name_words[@]}"; do
  banner_text+=(-annotate "+20+$line_y" "$word")
  line_y=$((line_y + name_size * 5 / 4))
done
banner_text+=(-fill '#BFD6E6' -font DejaVu-Sans -pointsize 13 -annotate "+22+$((line_y + 10))" "version $VERSION")

# The window: a banner on the left, the wizard's dialog fills the rest.
convert -size 640x440 xc:"$BODY" \
  \( -size 160x440 gradient:"$NAVY-$TEAL" \) -geometry +0+0 -composite \
  -fill "$ORANGE" -stroke none -draw "roundrectangle 42,96 118,188 8,8" \
  -fill '#FFFFFF' -draw "roundrectangle 42,108 118,188 8,8" -draw "rectangle 42,108 118,120" \
  -stroke "$LINE" -strokewidth 3 -draw "line 54,134 106,134" -draw "line 54,150 106,150" \
  -draw "line 54,166 90,166" \
  -stroke none -gravity NorthWest "${banner_text[@]}" \
  -fill '#FFFFFF' -draw "rectangle 159,0 159,439" background.png

# The dialog's face with a line along its edges, and its title band.
mkdir -p dialog
convert -size 24x24 xc:"$BODY" -fill none -stroke "$LINE" -draw "rectangle 0,0 23,23" "$whole/dialog.png"
nine_slice dialog/dialog "$whole/dialog.png" 4
convert -size 64x30 gradient:"$NAVY-#1B557A" "$whole/title.png"
three_slice dialog/title "$whole/title.png" 4

# Buttons: up, under the pointer, pressed, disabled.
mkdir -p button
box "$whole/up.png" 64 30 '#FFFFFF' '#D8E0E8' '#8796A5'
box "$whole/over.png" 64 30 '#FFFFFF' '#C7DDF3' "$BLUE"
box "$whole/down.png" 64 30 '#BCCDE0' '#E2EAF2' '#3B6A98'
box "$whole/disabled.png" 64 30 '#F1F3F5' '#EAEDF0' '#C9D0D6'
for state in up over down disabled; do three_slice "button/button_$state" "$whole/$state.png" 8; done

# Check boxes: an empty box, and one with a tick, each also under the
# pointer.
mkdir -p check_box
check() {
  local out=$1 fill=$2 border=$3 tick=$4
  convert -size 18x18 xc:none -fill "$fill" -stroke "$border" -strokewidth 1.5 \
    -draw "roundrectangle 1,1 16,16 3,3" "$out"
  if [ "$tick" = yes ]; then
    convert "$out" -fill none -stroke '#FFFFFF' -strokewidth 2.5 -draw "polyline 4.5,9 7.5,12.5 13.5,5" "$out"
  fi
}
check check_box/check_up.png '#FFFFFF' '#6B7C8D' no
check check_box/check_over.png '#EEF5FC' "$BLUE" no
check check_box/check_down.png '#FFFFFF' '#6B7C8D' no
check check_box/check_active_up.png "$BLUE" '#245A94' yes
check check_box/check_active_over.png '#4A8AD2' '#245A94' yes
check check_box/check_active_down.png "$BLUE" '#245A94' yes

# The progress bar: a sunken light track and an orange fill.
mkdir -p progress_bar
convert -size 64x22 xc:none -fill '#DDE3EA' -stroke '#9AA8B6' -strokewidth 1 \
  -draw "roundrectangle 0.5,0.5 62.5,20.5 6,6" "$whole/empty.png"
three_slice progress_bar/bar_empty "$whole/empty.png" 8
convert -size 64x22 gradient:'#FFB25C-#F26B00' -alpha set \
  \( -size 64x22 xc:none -fill white -draw "roundrectangle 0,0 63,21 6,6" \) \
  -compose DstIn -composite -compose Over \
  -fill none -stroke '#C65500' -strokewidth 1 -draw "roundrectangle 0.5,0.5 62.5,20.5 6,6" \
  -stroke '#FFD8AE' -draw "line 6,2 57,2" "$whole/full.png"
three_slice progress_bar/bar_full "$whole/full.png" 8

# Text pages: white paper with a line around it.
mkdir -p text_win
convert -size 24x24 xc:'#FFFFFF' -fill none -stroke "$LINE" -draw "rectangle 0,0 23,23" "$whole/panel.png"
nine_slice text_win/panel "$whole/panel.png" 3

# The folder browser's icons, 16 by 16. The wizard's buttons carry none: a
# button is as wide as its text, and the browse button of the options page
# has room for "..." alone.
mkdir -p icons
folder() {
  local out=$1
  shift
  convert -size 16x16 xc:none -fill '#F2C14E' -stroke '#B8872A' -strokewidth 1 \
    -draw "polygon 1.5,3.5 6.5,3.5 8,5 14.5,5 14.5,13.5 1.5,13.5" "$@" "$out"
}
folder icons/folder.png
folder icons/parent_folder.png -stroke "$INK" -strokewidth 1.5 -draw "line 8,12.5 8,7" -draw "polyline 5.5,9.5 8,7 10.5,9.5"
convert -size 16x16 xc:none -fill '#FFFFFF' -stroke '#6B7C8D' -strokewidth 1 \
  -draw "polygon 3.5,1.5 10,1.5 12.5,4 12.5,14.5 3.5,14.5" -draw "line 5.5,7.5 10.5,7.5" \
  -draw "line 5.5,10.5 10.5,10.5" icons/file.png
convert -size 16x16 xc:none -fill '#C9D2DB' -stroke '#6B7C8D' -strokewidth 1 \
  -draw "roundrectangle 1.5,4.5 14.5,11.5 2,2" -fill "$GREEN" -stroke none -draw "rectangle 11,7 12,9" \
  icons/disk.png
for kind in cdrom floppy network linux unix mac os2 dos windows; do cp icons/disk.png "icons/disk-$kind.png"; done

# Eight bits a channel are plenty, and half the size.
mogrify -depth 8 -define png:exclude-chunks=date,time ./*.png ./*/*.png
