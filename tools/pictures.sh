# Sourced by the scripts that keep pictures of a run (screenshots as PNG,
# contact sheets). Pictures are artefacts: one that cannot be made is a
# warning printed at the end, never a failed run. Labels are drawn with a
# font the setup installs, named by its path: ImageMagick's default font
# comes from Ghostscript's fonts, which a machine that installed ImageMagick
# without its recommended packages does not have.
PICTURE_FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
PICTURE_WARNINGS=

picture() {  # an ImageMagick command line
  local said
  said=$("$@" 2>&1) && return 0
  PICTURE_WARNINGS="${PICTURE_WARNINGS}warning: no picture from '$1 ... ${*: -1}': ${said%%$'\n'*}"$'\n'
  return 1
}

# Every screenshot of folder as PNG, the bitmap removed once converted.
pictures_to_png() {
  local bmp
  for bmp in "$1"/*.bmp; do
    [ -e "$bmp" ] && picture convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  return 0
}

# A contact sheet at its first argument, from the montage options and
# pictures that follow; every sheet is labelled with the font above.
contact_sheet() {
  local sheet=$1
  shift
  picture montage -font "$PICTURE_FONT" "$@" "$sheet" || true
}

pictures_report() { [ -z "$PICTURE_WARNINGS" ] || printf '%s' "$PICTURE_WARNINGS"; }
