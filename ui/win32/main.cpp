#include <windows.h>

#include <string>

#include "stream/utf8_path.h"
#include "ui/layout.h"
#include "ui/win32/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    // The tail is found by our own rule rather than taken from the runtime's split; the wide
    // command line carries a name in any script, which the editor takes as UTF-8.
    const wchar_t* commandLine = GetCommandLineW();
    const std::string utf8 = bq::narrow(commandLine != nullptr ? commandLine : L"");
    return bq::win32::run(instance, bq::commandLineTail(utf8));
}
