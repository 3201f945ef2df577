#!/usr/bin/env bash
# Gives $WINEPREFIX (a running Wine server's) the fonts the window's layout names, which a fresh prefix
# lacks: Debian's metric-compatible ones stand in (package fonts-liberation), as on the Linux desktop.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX}"
for font in "Arial=Liberation Sans" "Arial Narrow=Liberation Sans Narrow" "MS Sans Serif=Liberation Sans"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${font%%=*}" /d "${font#*=}" /f >/dev/null
done
