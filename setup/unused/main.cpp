// The second executable Pelvane carries, as the resource "UNINSTALL" of type "EXEFILE". The
// setup program never writes it out and nothing starts it; it is the smallest whole program
// that does nothing: it ends at once with exit code 0.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
