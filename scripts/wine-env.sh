# Sourced with QUARVO_WINE set to the Wine loader (/usr/lib/wine/wine for 32-bit programs,
# /usr/lib/wine/wine64 for 64-bit ones): a Wine prefix of this run's own in a temporary folder,
# warmed up, with crash dialogs off. wine_env_stop ends its wineserver and removes it.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d /tmp/quarvo-wine.XXXXXX)
export WINEPREFIX
if [ "$QUARVO_WINE" = /usr/lib/wine/wine64 ]; then
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
else
  export WINEARCH=win32
fi

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

wine_reg() { "$QUARVO_WINE" reg add "$@" /f >/dev/null 2>&1 || true; }

# Wine's background services must not inherit the caller's output pipes.
wineserver -p >/dev/null 2>&1 </dev/null
"$QUARVO_WINE" wineboot >/dev/null 2>&1 </dev/null || true
# A crashing program must fail its test, not open a dialog that waits forever.
wine_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# One virtual desktop: destroying top-level windows is fast, and title bars show in screenshots.
wine_reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
wine_reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
# Chinese text through the wide-character APIs also when the ANSI code page is not 936.
for face in Tahoma "MS Sans Serif" "Microsoft Sans Serif"; do
  wine_reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
    /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei'
done
# A fresh prefix lacks the symbol font of the title-bar buttons.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
# The registry keys take effect with a new wineserver.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 </dev/null
"$QUARVO_WINE" wineboot >/dev/null 2>&1 </dev/null || true
