#!/bin/sh
# Redraws the two pictures of this program's own: the emblem "Vesk.png"
# (a shield with a star) and the window icon "lnk.ico" (a ledger with a star),
# with the same icon as PNGs in the hicolor theme sizes for the desktop menu
# (hicolor/NxN/apps/vedomer.png).
# Needs ImageMagick and python3. Run from this folder.
set -e
star() { # cx cy R -> ImageMagick polygon points of a five-pointed star
    python3 -c "
import math,sys
cx,cy,R=map(float,sys.argv[1:4]); r=R*0.382
pts=[]
for i in range(10):
    a=-math.pi/2+i*math.pi/5; rr=R if i%2==0 else r
    pts.append('%.1f,%.1f'%(cx+rr*math.cos(a),cy+rr*math.sin(a)))
print(' '.join(pts))" "$1" "$2" "$3"
}
# Emblem: 340 x 320, transparent background.
convert -size 340x320 xc:none \
    -fill '#7a1010' -stroke '#d4a017' -strokewidth 10 \
    -draw "path 'M 60,20 L 280,20 L 280,150 Q 280,260 170,305 Q 60,260 60,150 Z'" \
    -fill '#1f4e2c' -stroke none \
    -draw "path 'M 80,40 L 260,40 L 260,150 Q 260,245 170,283 Q 80,245 80,150 Z'" \
    -fill '#d4a017' -stroke '#8a6508' -strokewidth 3 \
    -draw "polygon $(star 170 140 85)" \
    -fill '#7a1010' -stroke none -draw "polygon $(star 170 140 30)" \
    -depth 8 icons/Vesk.png
# Window icon: a green ledger with a gold star, in the sizes a desktop asks for.
for s in 16 24 32 48 64 128 256; do
    mkdir -p hicolor/${s}x${s}/apps
    k=$(python3 -c "print($s/64)")
    convert -size ${s}x${s} xc:none \
        -fill '#1f4e2c' -stroke '#0d2614' -strokewidth "$(python3 -c "print(max(1,2*$k))")" \
        -draw "roundrectangle $(python3 -c "k=$k;print('%g,%g %g,%g %g,%g'%(8*k,4*k,56*k,60*k,5*k,5*k))")" \
        -fill '#f2efe4' -stroke none \
        -draw "rectangle $(python3 -c "k=$k;print('%g,%g %g,%g'%(12*k,8*k,16*k,56*k))")" \
        -fill '#d4a017' -stroke '#8a6508' -strokewidth "$(python3 -c "print(max(0.5,1*$k))")" \
        -draw "polygon $(star "$(python3 -c "print(34*$k)")" "$(python3 -c "print(31*$k)")" "$(python3 -c "print(17*$k)")")" \
        -strip -depth 8 PNG32:hicolor/${s}x${s}/apps/vedomer.png
done
# The window icon holds the sizes a title bar and a task bar show; every
# window reads all of them when it opens, so the large ones stay in hicolor.
convert hicolor/16x16/apps/vedomer.png hicolor/24x24/apps/vedomer.png \
    hicolor/32x32/apps/vedomer.png hicolor/48x48/apps/vedomer.png \
    hicolor/64x64/apps/vedomer.png icons/lnk.ico
