# Reclume.exe and Pelvane.exe are 32-bit GUI programs that need nothing but the system's own
# DLLs; Pelvane carries Reclume.exe byte for byte as its resource OMBRIX of type EXEFILE, the
# small program that nothing starts as UNINSTALL, and nothing else of that type.
set -eu
for name in Reclume Pelvane PelvaneUnused; do
  exe="$RECLUME_BIN/$name.exe"
  file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || { echo "got: $(file "$exe"), expected a PE32 i386 GUI program"; exit 1; }
  bad=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
        grep -v -x -E 'kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|comctl32.dll|comdlg32.dll|winmm.dll|msvfw32.dll|avifil32.dll|msacm32.dll|wininet.dll|urlmon.dll|shlwapi.dll|msimg32.dll|version.dll|crypt32.dll|uxtheme.dll' || true)
  if [ -n "$bad" ]; then echo "$name.exe imports that are not system DLLs: $bad"; exit 1; fi
  echo "$name.exe: PE32 GUI, system imports only"
done
# The carried program: the EXEFILE resources as windres lists them.
names=$(i686-w64-mingw32-windres -i "$RECLUME_BIN/Pelvane.exe" -O rc 2>/dev/null | sed -n 's/^"\([^"]*\)" "EXEFILE".*/\1/p' | sort | tr '\n' ' ')
[ "$names" = "OMBRIX UNINSTALL " ] || { echo "got EXEFILE resources [$names], expected [OMBRIX UNINSTALL ]"; exit 1; }
echo "Pelvane.exe carries two EXEFILE resources, OMBRIX and UNINSTALL"

