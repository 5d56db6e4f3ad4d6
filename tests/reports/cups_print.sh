#!/bin/sh
# Prints a spring sheet through a private CUPS server whose default queue hands the job (the
# PDF that Qt sends) to a small backend that stores it in a file, then checks that the result is a one-page PDF naming the measurement. Exits 77
# (skipped) where CUPS or the PDF tools are not installed or the server cannot start.
set -u
probe="$1"
for tool in cupsd lpadmin lpstat pdftotext pdfinfo; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (Debian packages cups, cups-client, poppler-utils)"
        exit 77
    fi
done

dir=$(mktemp -d /tmp/veltron-cups-XXXXXX)
pid=""
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM
mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/bin/backend" "$dir/out"
chmod 0755 "$dir"
chmod 0777 "$dir/out"
# The server's programs, with one more backend: "sheetfile:<path>" copies the job to <path>.
for entry in /usr/lib/cups/*; do
    [ "$(basename "$entry")" = backend ] || ln -s "$entry" "$dir/bin/"
done
cat > "$dir/bin/backend/sheetfile" <<'BACKEND'
#!/bin/sh
if [ $# -eq 0 ]; then
    echo 'file sheetfile "Unknown" "Sheet file"'
    exit 0
fi
cat "${6:-/dev/stdin}" > "${DEVICE_URI#sheetfile:}"
BACKEND
chmod 0755 "$dir/bin/backend/sheetfile"
cat > "$dir/etc/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat > "$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin $dir/bin
DataDir /usr/share/cups
SystemGroup root $(id -gn)
CONF

cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
pid=$!
export CUPS_SERVER="$dir/cups.sock"
i=0
until lpstat -r >/dev/null 2>&1; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
        echo "SKIP: a private CUPS server could not be started here"
        cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null
        exit 77
    fi
    sleep 0.1
done

out="$dir/out/sheet.pdf"
if ! lpadmin -p veltron-pdf -E -v "sheetfile:$out" -m raw 2>"$dir/log/lpadmin" ||
    ! lpadmin -d veltron-pdf 2>>"$dir/log/lpadmin"; then
    echo "SKIP: the private CUPS server refused the sheet queue"
    cat "$dir/log/lpadmin"
    exit 77
fi

name="0042-09122026"
if ! "$probe" "$name"; then
    echo "FAIL: the sheet was not printed"
    exit 1
fi

# The job runs in the server; wait for it to leave the queue.
i=0
while [ -n "$(lpstat -o veltron-pdf 2>/dev/null)" ] || [ ! -s "$out" ]; do
    i=$((i + 1))
    if [ $i -gt 300 ]; then
        echo "FAIL: the print job did not finish"
        lpstat -o; cat "$dir/log/error_log" 2>/dev/null
        exit 1
    fi
    sleep 0.1
done

pages=$(pdfinfo "$out" | awk '/^Pages:/ { print $2 }')
if [ "$pages" != "1" ]; then
    echo "FAIL: $pages pages instead of one"
    exit 1
fi
if ! pdftotext "$out" - | grep -q "$name"; then
    echo "FAIL: the printed text does not name the measurement"
    pdftotext "$out" - | head -20
    exit 1
fi
echo "printed one page naming $name"
