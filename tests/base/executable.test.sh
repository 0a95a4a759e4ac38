# Reclume.exe is a 32-bit GUI program that needs nothing but the system's own DLLs.
set -eu
exe="$RECLUME_BIN/Reclume.exe"
file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || { echo "got: $(file "$exe"), expected a PE32 i386 GUI program"; exit 1; }
bad=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
      grep -v -x -E 'kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|comctl32.dll|comdlg32.dll|winmm.dll|msvfw32.dll|avifil32.dll|msacm32.dll|wininet.dll|urlmon.dll|shlwapi.dll|msimg32.dll|version.dll|crypt32.dll|uxtheme.dll' || true)
if [ -n "$bad" ]; then echo "imports that are not system DLLs: $bad"; exit 1; fi
echo "Reclume.exe: PE32 GUI, system imports only"
