#!/bin/sh
# font-aliases.sh FC_MATCH ALIASES SCRATCH: the shipped fontconfig aliases give each font name
# of the screens the family the canvas draws it with (and Impact in bold), on top of the
# machine's own configuration. Exit status 77 (skipped) when the fonts are not installed.
set -eu
fcmatch=$1
aliases=$2
scratch=$3
mkdir -p "$scratch"
conf="$scratch/fonts.conf"
cat >"$conf" <<XML
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include><include>$aliases</include></fontconfig>
XML
for family in "PT Sans Narrow" "Liberation Mono" "Liberation Serif" "Liberation Sans"; do
    FONTCONFIG_FILE="$conf" "$fcmatch" -f '%{family[0]}\n' "$family" | grep -qx "$family" || {
        echo "font $family not installed" >&2
        exit 77
    }
done
fail=0
while IFS='|' read -r name want; do
    got=$(FONTCONFIG_FILE="$conf" "$fcmatch" -f '%{family[0]}|%{weight}\n' "$name")
    # weight 200 is bold in fontconfig's scale
    case "$want" in
    *bold) expect="${want% bold}|200" ;;
    *) expect="$want|" ;;
    esac
    case "$got" in
    "$expect"*) ;;
    *) echo "$name: got $got, want $want" >&2; fail=1 ;;
    esac
done <<LIST
Impact|PT Sans Narrow bold
Courier|Liberation Mono
CourierNew|Liberation Mono
Courier New|Liberation Mono
Сourier|Liberation Mono
Times New Roman|Liberation Serif
Times new roman|Liberation Serif
Tahoma|Liberation Sans
Arial|Liberation Sans
LIST
exit $fail
