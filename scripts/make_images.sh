#!/usr/bin/env bash
# Redraws the images compiled into the console (src/resources/*.png) with
# ImageMagick (package imagemagick). Only needed when the artwork changes.
set -euo pipefail
cd "$(dirname "$0")/../src/resources"
IM=/usr/bin/convert
FONT=DejaVu-Sans-Bold

# Splash and About image, 272 x 101: a dark band with the name and a pulse line.
$IM -size 272x101 gradient:'#12324f'-'#1f6f8b' \
    -fill none -stroke '#7fe0c8' -strokewidth 2 \
    -draw "polyline 8,70 40,70 52,48 64,88 76,30 88,70 108,70" \
    -stroke none -fill white -font $FONT -pointsize 30 -annotate +114+52 'Corvane' \
    -fill '#cfe8f0' -font DejaVu-Sans -pointsize 10 -annotate +114+74 'Tuxedo & WebLogic console' \
    -define png:exclude-chunks=date,time PNG24:splash.png

# Window icon, 32 x 32.
$IM -size 32x32 xc:none -fill '#1f6f8b' -draw "roundrectangle 0,0 31,31 6,6" \
    -fill none -stroke '#7fe0c8' -strokewidth 2 -draw "polyline 3,18 10,18 13,9 17,25 20,14 22,18 29,18" \
    -define png:exclude-chunks=date,time PNG32:amain.png

# Toolbar, 16 x 16 each.
$IM -size 16x16 xc:none -fill '#c0392b' -draw "circle 8,8 8,1" \
    -stroke white -strokewidth 2 -draw "line 5,5 11,11" -draw "line 11,5 5,11" \
    -define png:exclude-chunks=date,time PNG32:tool_quit.png
$IM -size 16x16 xc:none -fill '#1f6f8b' -draw "rectangle 1,2 14,11" -fill '#7fe0c8' \
    -draw "rectangle 3,4 12,9" -fill '#555555' -draw "rectangle 6,12 9,13" -draw "rectangle 3,14 12,14" \
    -define png:exclude-chunks=date,time PNG32:tool_site.png
$IM -size 16x16 xc:none -fill '#e6a817' -draw "polygon 8,1 15,14 1,14" -fill black \
    -draw "rectangle 7,5 8,10" -draw "rectangle 7,12 8,13" \
    -define png:exclude-chunks=date,time PNG32:tool_action.png
$IM -size 16x16 xc:none -fill '#3b6ea5' -draw "ellipse 8,3 6,2 0,360" -draw "rectangle 2,3 14,12" \
    -draw "ellipse 8,12 6,2 0,360" -fill none -stroke '#cfe8f0' -draw "ellipse 8,3 6,2 0,180" \
    -define png:exclude-chunks=date,time PNG32:tool_database.png
# Chart tool: a small line chart on axes.
$IM -size 16x16 xc:none -fill none -stroke '#555555' -strokewidth 1 -draw "polyline 1,1 1,14 15,14" \
    -stroke '#1f6f8b' -strokewidth 2 -draw "polyline 3,11 6,7 9,9 14,3" \
    -define png:exclude-chunks=date,time PNG32:tool_chart.png
