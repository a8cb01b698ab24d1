#!/usr/bin/env bash
# Checks the interface data: every record of data/Kel_Engine/GUI.KIM names
# a picture that exists and loads (with its tiles inside it), the library
# stays under its 400 images, the font list names installed fonts, and
# every picture that the panels ask for by name (in code or in the RC
# files) is in the library. Needs ImageMagick's identify.
set -uo pipefail
cd "$(dirname "$0")/../data"
fail=0
err() { echo "ERROR: $*"; fail=1; }

names=$(mktemp); trap 'rm -f "$names"' EXIT
count=0
# One record per line: name path kind [W H NR NC GX GY].
records=$(awk 'BEGIN{RS="[ \t\r\n]+"} NR<=2{next} {t[++n]=$0} END{
    i=1; while (i<=n) { if (t[i]=="END") exit; line=t[i] " " t[i+1] " " t[i+2];
      if (t[i+2]=="SIMPLEPART") i+=3; else { for (k=3;k<=8;k++) line=line " " t[i+k]; i+=9 }
      print line } }' Kel_Engine/GUI.KIM)
while read -r name path kind tw th nr nc gx gy; do
    for t in "$name" "$path" "$kind"; do [ ${#t} -le 59 ] || err "token longer than 59 characters: $t"; done
    case "$name" in VCO|VCA|VCF|KEY|SAMPLER|MIXER|SEQUEN|VARIABLE|VAL|CONSTANTE|GENERATOR)
        err "record $name clashes with a panel's picture name";; esac
    [ -f "$path" ] || { err "$name: missing $path"; continue; }
    size=$(identify -format '%w %h' "$path" 2>/dev/null) || { err "$name: $path does not load"; continue; }
    read -r w h <<<"$size"
    if [ "$kind" = SIMPLEPART ]; then
        echo "$name" >>"$names"; count=$((count + 1))
    else
        [ $((nc * (tw + gx))) -le $((w + gx)) ] && [ $((nr * (th + gy))) -le $((h + gy)) ] ||
            err "$name: $nr x $nc tiles of $tw x $th do not fit in $w x $h"
        for ((k = 0; k < nr * nc; k++)); do echo "${name}_$k" >>"$names"; done
        count=$((count + nr * nc))
    fi
done <<<"$records"
dups=$(sort "$names" | uniq -d)
[ -z "$dups" ] || err "names listed twice: $dups"
echo "GUI.KIM: $(echo "$records" | wc -l) records, $count images including tiles"
[ "$count" -le 400 ] || err "more than 400 images"

fonts=$(awk 'BEGIN{RS="[ \t\r\n]+"} NR<=2{next} $0=="END"{exit} (NR%2)==0{print}' Kel_Engine/FONTS.LST)
nf=0
for f in $fonts; do nf=$((nf + 1)); [ -f "$f" ] || err "font $f is not installed"; done
echo "FONTS.LST: $nf fonts"
[ "$nf" -ge 1 ] && [ "$nf" -le 10 ] || err "the font list must hold 1 to 10 fonts"

need() { grep -qxF -- "$1" "$names" || err "$2 needs picture $1, not in GUI.KIM"; }

# Pictures the panels and cables switch to by name in code.
for n in SIN TRI SAW SQR PULSE NOISE_WHITE NOISE_ROSSLER NOISE_LORENZ NOISE_KEL; do need "DISP_$n" "oscillator panel"; done
for n in LOWPASS HIGHPASS BANDPASS NOTCH LOWSHELF HIGHSHELF PEAKING; do need "DISP_FILTRE_$n" "filter panel"; done
for i in $(seq -w 1 17); do need "DISP_OPERATION_$i" "operation panel"; done
for n in AV AR LOOPAV LOOPAR; do need "SMP_PLAY_$n" "sampler panel"; done
for k in 1 2; do for i in $(seq 0 10); do need "LED_NUMERIC_${k}_$i" "sequencer/keyboard digits"; done; done
for n in LAMP_LED_1_0 LAMP_LED_1_1 LAMP_LED_2_0 LAMP_LED_2_1 LAMP_LED_2_MASK CHK_1_ON CHK_1_OFF CHK_4_ON CHK_4_OFF \
         CHK_4_MASK SLD SLD_MASK BUTTONSTYLEA_0 BUTTONSTYLEA_MASK BUTTONSTYLEB_0 BUTTONSTYLEB_MASK \
         FICHE_PLUG FICHE_PLUG_MASK FICHE_UNPLUG FICHE_UNPLUG_MASK; do
    need "$n" "panel code"
done

# Pictures the resource files name: sprites and their masks, the three
# pictures of a button and the mask it derives from its state-1 picture,
# a knob and its NAME_MASK.
nrc=0
for rc in RC/*.RC FOND_GLOBAL.RC; do
    [ -f "$rc" ] || continue
    nrc=$((nrc + 1))
    while read -r kind a b c; do
        case "$kind" in
            SPRITE) need "$a" "$rc"; [ "$b" = 0 ] || need "$b" "$rc";;
            BUTTON) for i in "$a" "$b" "$c"; do [ "${i:0:1}" = 0 ] || need "$i" "$rc"; done
                    need "${a%_*}_MASK" "$rc";;
            SLIDER) need "$a" "$rc"; need "${a}_MASK" "$rc";;
        esac
    done < <(tr -d '\r' <"$rc" | awk -F'\t' '$1=="SPRITE"{print $1, $3, $4} $1=="BUTTON"{print $1, $3, $4, $5}
                                            $1=="SLIDER"{print $1, $3}')
    # The program's background is a colour fill; every panel has a face.
    [ "$(basename "$rc")" = FOND_GLOBAL.RC ] || grep -q $'^SPRITE\tIMAGE_FOND\t' "$rc" || err "$rc has no IMAGE_FOND face"
done
echo "RC files checked: $nrc"
[ "$fail" = 0 ] && echo "OK" || echo "FAILED"
exit "$fail"
